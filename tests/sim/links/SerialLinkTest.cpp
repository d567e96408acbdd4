// The serial line: libtlxdev opens the pty through TLX_SERIAL_PATH, sets its
// line, sends the channel selector, the command and the channel reset, and
// closes again; the engine must see exactly those bytes and its answers must
// come back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <thread>

#include "LinkTestSupport.h"
#include "SimTest.h"

using namespace linktest;
using tlxsim::Fault;
using tlxsim::FaultKind;
using tlxsim::Link;

namespace {

class SerialLinkTest : public tlxsim::SimTest {};

TEST_F(SerialLinkTest, CommandArrivesExactlyOnTheSelectedChannelAndTheAnswerComesBack) {
  Exchange e = Trans(SerialPort(), 'B', kCheckR40, EndOfCondition1, 1000);
  ASSERT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);

  // Selector, command and the reset sent at close, in this order.
  ASSERT_TRUE(WaitFor([&] { return History().size() >= 3; }, 2000));
  auto history = History();
  ASSERT_EQ(3u, history.size());
  EXPECT_EQ(std::string("\x1b%B"), history[0].bytes);
  EXPECT_EQ(kCheckR40, history[1].bytes);
  EXPECT_EQ(Link::Serial, history[1].link);
  EXPECT_EQ('B', history[1].channel);
  EXPECT_EQ(std::string("\x1b%A"), history[2].bytes);
}

TEST_F(SerialLinkTest, LineIsRawInBothDirections) {
  // CR LF and bytes above 0x7f must pass unchanged (no CR/LF mapping, no
  // stripping of the eighth bit), also over several exchanges, each with its
  // own open, line setting and restore.
  const std::string reset("\x1bR\r\n");
  for (int i = 0; i < 3; ++i) {
    Exchange e = Trans(SerialPort(), 0, reset, EndOfCondition4, 1000);
    ASSERT_EQ(0, e.result) << "exchange " << i;
    ASSERT_FALSE(e.reply.empty());
    EXPECT_EQ('\xaa', e.reply[0]);
  }
  std::string end("\x83");
  ASSERT_EQ(0, TransProc(SerialPort(), '9', 9600, end.data(), 1, nullptr, nullptr, EndOfCondition4,
                         1000));
  EXPECT_TRUE(WaitFor([&] { return Find(History(), end).size() == 1; }, 2000));
  EXPECT_EQ(3u, Find(History(), reset).size());
}

TEST_F(SerialLinkTest, PortsNotServedDoNotOpen) {
  Exchange e = Trans(SerialPort() + 1, 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(TLX_ERR_OPEN, e.result);
  EXPECT_TRUE(Find(History(), kCheckR40).empty());
}

TEST_F(SerialLinkTest, SilentTerminalTimesOut) {
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 500).result);
  // The command did arrive; the terminal just kept quiet once.
  EXPECT_EQ(1u, Find(History(), kCheckR40).size());
  Exchange e = Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

TEST_F(SerialLinkTest, HangupFailsTheExchangeAndTheNextOpenFindsAFreshLine) {
  const std::string before = terminal().serialPathPattern();
  SetFault("CHECKR40", Fault{FaultKind::Hangup, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 500).result);
  EXPECT_EQ(1, terminal().SerialHangups());
  // Same path for the host, new line behind it.
  EXPECT_EQ(before, terminal().serialPathPattern());
  Exchange e = Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

TEST_F(SerialLinkTest, AnswerDueAfterTheHostClosedIsNeverSent) {
  // The host gives up and closes; the terminal hears of the close and drops
  // its late answer, which would otherwise wait in the line for whoever
  // opens it next.
  const std::string info("\x1b[0GETDEVICEINFO");
  SetFault("GETDEVICEINFO", Fault{FaultKind::Late, 1200, 1});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, info, EndOfCondition1, 500).result);

  char path[256];
  ASSERT_TRUE(SerialDevicePath(SerialPort(), path, sizeof path));
  int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  std::string seen;
  while (std::chrono::steady_clock::now() < start + std::chrono::milliseconds(2000)) {
    char buf[256];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) seen.append(buf, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(fd);
  EXPECT_EQ("", seen);
  // The line still answers.
  Exchange e = Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

class TwoPortsTest : public tlxsim::SimTest {
 protected:
  TwoPortsTest() { options_.serialPorts = {2, 5}; }
};

TEST_F(TwoPortsTest, EveryServedPortReachesTheTerminal) {
  EXPECT_EQ(2, SerialPort());
  for (int port : {2, 5}) {
    Exchange e = Trans(port, 0, kCheckR40, EndOfCondition1, 1000);
    EXPECT_EQ(0, e.result) << "port " << port;
    EXPECT_EQ(kAck, e.reply);
  }
  EXPECT_EQ(TLX_ERR_OPEN, Trans(1, 0, kCheckR40, EndOfCondition1, 1000).result);
  EXPECT_EQ(2u, Find(History(), kCheckR40).size());
}

TEST(SerialLinkLifetime, StopRemovesLinksAndRestoresTheEnvironment) {
  ::setenv("TLX_SERIAL_PATH", "/dev/ttyUSB%d", 1);
  std::string link;
  {
    tlxsim::VirtualTerminal vt;
    vt.Start();
    EXPECT_STREQ(vt.serialPathPattern().c_str(), ::getenv("TLX_SERIAL_PATH"));
    const std::string dir = vt.runDir();
    link = dir + "/dev/ttyS0";
    EXPECT_EQ(0, ::access(link.c_str(), F_OK));
    vt.Stop();
    EXPECT_NE(0, ::access(link.c_str(), F_OK));
    EXPECT_NE(0, ::access(dir.c_str(), F_OK));
  }
  EXPECT_STREQ("/dev/ttyUSB%d", ::getenv("TLX_SERIAL_PATH"));
  ::unsetenv("TLX_SERIAL_PATH");
}

}  // namespace
