// The serial line on a real device (VirtualTerminalOptions::serialDevices,
// TLXSIM_SERIAL_DEVICES): two pseudo-terminals joined like the two UARTs of
// the kernel test guest. The host opens the slave of one by its own naming,
// the terminal serves the slave of the other, a thread copies between the
// masters as the host's relay does between QEMU's sockets.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "LinkTestSupport.h"
#include "SimTest.h"

using namespace linktest;
using tlxsim::Fault;
using tlxsim::FaultKind;

namespace {

class JoinedLines {
 public:
  JoinedLines() {
    char name[256] = {0};
    if (openpty(&hostMaster_, &hostSlave_, name, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    hostSlaveName_ = name;
    if (openpty(&termMaster_, &termSlave_, name, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    termSlaveName_ = name;
    for (int fd : {hostSlave_, termSlave_}) {
      termios t;
      tcgetattr(fd, &t);
      cfmakeraw(&t);
      tcsetattr(fd, TCSANOW, &t);
    }
    char tmpl[] = "/tmp/tlx-lines-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    if (symlink(hostSlaveName_.c_str(), (dir_ + "/tty0").c_str()) != 0)
      throw std::runtime_error("symlink failed");
    relay_ = std::thread([this] { Relay(); });
  }
  ~JoinedLines() {
    stop_ = true;
    relay_.join();
    unlink((dir_ + "/tty0").c_str());
    rmdir(dir_.c_str());
    for (int fd : {hostMaster_, hostSlave_, termMaster_, termSlave_}) close(fd);
  }

  std::string HostPattern() const { return dir_ + "/tty%d"; }
  std::string TerminalEnd() const { return termSlaveName_; }
  // Bytes that arrive at the terminal's end as if the host had sent them.
  void ToTerminal(const std::string& bytes) {
    EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(termMaster_, bytes.data(), bytes.size()));
  }

 private:
  void Relay() {
    char buf[4096];
    while (!stop_) {
      pollfd fds[2] = {{hostMaster_, POLLIN, 0}, {termMaster_, POLLIN, 0}};
      if (poll(fds, 2, 20) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0 && write(fds[1 - i].fd, buf, static_cast<size_t>(n)) != n) ADD_FAILURE();
      }
    }
  }

  int hostMaster_ = -1, hostSlave_ = -1, termMaster_ = -1, termSlave_ = -1;
  std::string hostSlaveName_, termSlaveName_, dir_;
  std::atomic<bool> stop_{false};
  std::thread relay_;
};

class SerialDeviceTest : public tlxsim::SimTest {
 protected:
  SerialDeviceTest() {
    options_.serialDevices = lines_.TerminalEnd();
    options_.hid = false;
    setenv("TLX_SERIAL_PATH", lines_.HostPattern().c_str(), 1);
  }
  ~SerialDeviceTest() override { unsetenv("TLX_SERIAL_PATH"); }

  JoinedLines lines_;
};

TEST_F(SerialDeviceTest, ExchangesTravelTheJoinedLineUnderTheHostsOwnNaming) {
  EXPECT_TRUE(terminal().SerialOnDevice());
  EXPECT_EQ(lines_.HostPattern(), terminal().serialPathPattern());
  EXPECT_STREQ(lines_.HostPattern().c_str(), getenv("TLX_SERIAL_PATH"))
      << "the terminal leaves the host's naming alone";
  for (const auto& kv : terminal().Environment())
    EXPECT_NE("TLX_SERIAL_PATH", kv.first) << "a real line needs no pattern for other processes";

  Exchange e = Trans(SerialPort(), 'B', kCheckR40, EndOfCondition1, 2000);
  ASSERT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
  ASSERT_TRUE(WaitFor([&] { return History().size() >= 3; }, 2000));
  const auto history = History();
  ASSERT_EQ(3u, history.size());
  EXPECT_EQ(std::string("\x1b%B"), history[0].bytes);
  EXPECT_EQ(kCheckR40, history[1].bytes);
  EXPECT_EQ(std::string("\x1b%A"), history[2].bytes);
}

// A late answer whose host has closed the port is never sent: the terminal
// hears the close of the host's device as it does the pty's. Sent, it
// would answer the next command, which the terminal leaves unanswered.
// (The host's time limits end with a change of the clock's second: the
// first read ends within 1 to 2 s, the second covers the late answer's
// 2.5 s whichever it is.)
TEST_F(SerialDeviceTest, AnswerDueAfterTheHostClosedIsDropped) {
  SetFault("CHECKR40", Fault{FaultKind::Late, 2500, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 1000).result);
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 1000).result);
  EXPECT_EQ(0, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 2000).result);
}

// The far end of a real line cannot hang it up: the answer is dropped, the
// host waits out its time, the line stays as it was and works on.
TEST_F(SerialDeviceTest, HangupOnARealLineOnlyDropsTheAnswer) {
  SetFault("CHECKR40", Fault{FaultKind::Hangup, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 500).result);
  EXPECT_EQ(0, terminal().SerialHangups());
  Exchange e = Trans(SerialPort(), 0, kCheckR40, EndOfCondition1, 2000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

// What is on the line before the terminal starts (a machine's firmware
// writes to its first UART while it boots) is no command.
TEST(SerialDevice, BytesOnTheLineBeforeTheStartAreNoCommand) {
  JoinedLines lines;
  lines.ToTerminal(kCheckR40);
  usleep(50000);
  setenv("TLX_SERIAL_PATH", lines.HostPattern().c_str(), 1);
  tlxsim::VirtualTerminalOptions options;
  options.serialDevices = lines.TerminalEnd();
  options.hid = false;
  tlxsim::VirtualTerminal terminal(options);
  terminal.Start();
  Exchange e = Trans(terminal.serialPort(), 0, kCheckR40, EndOfCondition1, 2000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply) << "exactly one answer";
  ASSERT_TRUE(WaitFor([&] { return !Find(terminal.History(), kCheckR40).empty(); }, 2000));
  usleep(100000);
  EXPECT_EQ(1u, Find(terminal.History(), kCheckR40).size());
  terminal.Stop();
  unsetenv("TLX_SERIAL_PATH");
}

TEST(SerialDevice, DefaultNamingAndAPortWithoutDevice) {
  JoinedLines lines;
  unsetenv("TLX_SERIAL_PATH");
  tlxsim::VirtualTerminalOptions options;
  options.serialDevices = "," + lines.TerminalEnd();  // port 2's far end only
  options.hid = false;
  options.serialPorts = {2};
  {
    tlxsim::VirtualTerminal terminal(options);
    terminal.Start();
    EXPECT_EQ("/dev/ttyS%d", terminal.serialPathPattern());
    EXPECT_EQ(nullptr, getenv("TLX_SERIAL_PATH"));
  }
  options.serialPorts = {1};
  tlxsim::VirtualTerminal terminal(options);
  EXPECT_THROW(terminal.Start(), std::runtime_error);
  EXPECT_FALSE(terminal.Running());
}

}  // namespace
