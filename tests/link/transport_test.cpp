// CDevice on a serial link, against a pseudo-terminal peer.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "compat/CDevice.h"
#include "compat/session.h"
#include "pty_peer.h"

namespace {

termios SlaveSettings(const PtyPeer& peer) {
  termios t;
  std::memset(&t, 0, sizeof t);
  EXPECT_EQ(tcgetattr(peer.slave(), &t), 0);
  return t;
}

// Opens port 1 (the pty) on a fresh object and closes it at scope end.
class SerialLink {
 public:
  explicit SerialLink(int baud = 9600) { opened = dev.OpenCom(1, baud, 8, 0, 0); }
  ~SerialLink() { dev.Close(); }
  CDevice dev;
  bool opened;
};

}  // namespace

TEST(SerialTransport, LineSettingsAppliedWhileOpenAndRestoredAtClose) {
  PtyPeer peer;
  const termios before = SlaveSettings(peer);
  ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh pty starts in canonical mode";

  {
    SerialLink link(115200);
    ASSERT_TRUE(link.opened);
    EXPECT_TRUE(link.dev.IsOpen());

    const termios t = SlaveSettings(peer);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG | NOFLSH));
    EXPECT_FALSE(t.c_iflag & (ISTRIP | INLCR | IGNCR | ICRNL | IXON));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 1);
    EXPECT_EQ(link.dev.GetBaud(), 115200);

    // Rate changes go through the same table; unknown rates give 9600.
    EXPECT_TRUE(link.dev.SetNewBaud(38400));
    EXPECT_EQ(link.dev.GetBaud(), 38400);
    EXPECT_TRUE(link.dev.SetNewBaud(14400));
    EXPECT_EQ(link.dev.GetBaud(), 9600);
    // A second SetComParam while open must not replace the settings saved
    // at open with our own raw ones.
    EXPECT_TRUE(link.dev.SetComParam(57600, 8, 0, 0));
    EXPECT_EQ(link.dev.GetBaud(), 57600);
  }

  const termios after = SlaveSettings(peer);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  EXPECT_EQ(after.c_cc[VTIME], before.c_cc[VTIME]);
}

TEST(SerialTransport, UnknownRateConfigures9600AndClosedObjectRefuses) {
  PtyPeer peer;
  CDevice dev;
  EXPECT_FALSE(dev.IsOpen());
  EXPECT_EQ(dev.GetPort(), -1);
  EXPECT_EQ(dev.GetType(), TLX_LINK_SERIAL);
  EXPECT_EQ(dev.GetBaud(), TLX_PORT_NOT_OPEN);
  EXPECT_FALSE(dev.SetNewBaud(9600));
  EXPECT_FALSE(dev.SetComParam(9600, 8, 0, 0));
  char buf[8];
  EXPECT_EQ(dev.Read(buf, sizeof buf, nullptr, 100), TLX_PORT_NOT_OPEN);
  EXPECT_EQ(dev.Write("x", 1), TLX_PORT_NOT_OPEN);

  DEVICEPARAM param;
  std::memset(&param, 0, sizeof param);
  param.type = TLX_LINK_SERIAL;
  param.port = 1;
  param.baud = 14400;
  param.dataBits = 8;
  ASSERT_TRUE(dev.Open(param));
  EXPECT_EQ(dev.GetPort(), 1);
  EXPECT_EQ(dev.GetBaud(), 9600);
  const termios t = SlaveSettings(peer);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  dev.Close();
  EXPECT_FALSE(dev.IsOpen());
  EXPECT_EQ(dev.GetPort(), 1) << "Close keeps the port number";

  param.type = 7;
  EXPECT_FALSE(dev.Open(param));
  EXPECT_FALSE(dev.IsOpen());
}

TEST(SerialTransport, ArgumentChecks) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);
  char buf[8];
  EXPECT_EQ(link.dev.Read(nullptr, 8, nullptr, 100), TLX_PORT_BAD_ARG);
  EXPECT_EQ(link.dev.Read(buf, 0, nullptr, 100), TLX_PORT_BAD_ARG);
  EXPECT_EQ(link.dev.Read(buf, -1, nullptr, 100), TLX_PORT_BAD_ARG);
  EXPECT_EQ(link.dev.Write(nullptr, 4), TLX_PORT_BAD_ARG);
  EXPECT_EQ(link.dev.Write("abc", -1), TLX_PORT_BAD_ARG);
}

TEST(SerialTransport, ReadEndsOnConditionAndKeepsBytesOfTheSameRead) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  peer.Send("\x02OK\x03");
  char buf[64] = {0};
  EXPECT_EQ(link.dev.Read(buf, sizeof buf, EndOfCondition1, 3000), 4);
  EXPECT_EQ(std::string(buf, 4), "\x02OK\x03");

  // "Anything arrived" completes at the first read that brings bytes; all of
  // that read stays in the buffer.
  peer.Send("xyz");
  std::memset(buf, 0, sizeof buf);
  EXPECT_EQ(link.dev.Read(buf, sizeof buf, EndOfCondition4, 3000), 3);
  EXPECT_EQ(std::string(buf, 3), "xyz");
}

TEST(SerialTransport, ReadSpanningSeveralChunksEndsOnLateTerminator) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  std::thread sender([&] {
    peer.Send(
        "\x02"
        "12");
    usleep(250000);  // longer than the 0.1 s inter-byte timeout
    peer.Send("34\x03");
  });
  char buf[64] = {0};
  const int n = link.dev.Read(buf, sizeof buf, EndOfCondition1, 3000);
  sender.join();
  EXPECT_EQ(n, 6);
  EXPECT_EQ(std::string(buf, 6),
            "\x02"
            "1234\x03");
}

TEST(SerialTransport, FullCapacityEndsTheReadWithTheCapacity) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  peer.Send("0123456789");
  char buf[5] = {0};
  EXPECT_EQ(link.dev.Read(buf, 4, EndOfCondition1, 3000), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(buf[4], 0) << "nothing written past the capacity";

  char rest[16] = {0};
  EXPECT_EQ(link.dev.Read(rest, 6, nullptr, 3000), 6);
  EXPECT_EQ(std::string(rest, 6), "456789");
}

TEST(SerialTransport, SilentPeerTimesOutAndCancelFromAnotherThreadEndsTheRead) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  // Below one second: ends once the whole second of the clock changes.
  char buf[16];
  EXPECT_EQ(link.dev.Read(buf, sizeof buf, EndOfCondition1, 500), TLX_PORT_TIMEOUT);

  // A byte that never completes the response, then a cancel.
  std::atomic<bool> done(false);
  std::thread canceller([&] {
    while (!done) {
      usleep(50000);
      link.dev.CancelRead();
    }
  });
  peer.Send("\x02partial");
  const int n = link.dev.Read(buf, sizeof buf, EndOfCondition1, 20000);
  done = true;
  canceller.join();
  EXPECT_EQ(n, TLX_PORT_CANCELLED);
}

TEST(SerialTransport, CancelBeforeTheReadIsForgotten) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);
  link.dev.CancelRead();
  peer.Send(
      "\x02"
      "A\x03");
  char buf[16];
  EXPECT_EQ(link.dev.Read(buf, sizeof buf, EndOfCondition1, 3000), 3);
}

TEST(SerialTransport, FlushDiscardsStaleInput) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  peer.Send("stale reply\x03");
  usleep(50000);
  link.dev.Flush();
  peer.Send(
      "\x02"
      "fresh\x03");
  char buf[64] = {0};
  const int n = link.dev.Read(buf, sizeof buf, EndOfCondition1, 3000);
  ASSERT_EQ(n, 7);
  EXPECT_EQ(std::string(buf, 7),
            "\x02"
            "fresh\x03");
}

TEST(SerialTransport, WriteSendsExactBytesAndLengthZeroStopsAtNul) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  EXPECT_EQ(link.dev.Write("hello\0world", 0), 5);
  EXPECT_EQ(peer.ReceiveN(5), "hello");

  const char withNul[] = {'\x1b', '[', 0, 'A', '\xff'};
  EXPECT_EQ(link.dev.Write(withNul, 5), 5);
  EXPECT_EQ(peer.ReceiveN(5), std::string(withNul, 5));

  // Larger than the pty's buffer: the peer drains while we write.
  std::string big(20000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  std::string got;
  std::thread reader([&] { got = peer.ReceiveN(big.size()); });
  EXPECT_EQ(link.dev.Write(big.data(), static_cast<int>(big.size())), 20000);
  reader.join();
  EXPECT_EQ(got, big);
}

TEST(SerialTransport, SecondProcessCannotOpenAPortHeldOpen) {
  PtyPeer peer;
  SerialLink link;
  ASSERT_TRUE(link.opened);

  // flock belongs to the open file description, so the check needs a second
  // process opening the device on its own.
  auto childOpens = [] {
    const pid_t pid = fork();
    if (pid == 0) {
      CDevice other;
      const bool ok = other.OpenCom(1, 9600, 8, 0, 0);
      if (ok) other.Close();
      _exit(ok ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
  };

  EXPECT_FALSE(childOpens()) << "a second opener must be refused while the port is held";
  link.dev.Close();
  EXPECT_TRUE(childOpens()) << "the lock is released at close";
}

TEST(SerialTransport, MissingDeviceFailsAndLeavesTheObjectClosed) {
  PtyPeer peer;
  CDevice dev;
  EXPECT_FALSE(dev.OpenCom(5, 9600, 8, 0, 0));  // tty4 does not exist
  EXPECT_FALSE(dev.IsOpen());
  EXPECT_FALSE(dev.OpenCom(0, 9600, 8, 0, 0));
  EXPECT_FALSE(dev.OpenCom(-3, 9600, 8, 0, 0));
  EXPECT_FALSE(dev.IsOpen());

  // A path that opens but is no tty: the line settings fail, nothing stays open.
  WriteFile(peer.dir().file("tty2"), "not a tty");
  EXPECT_FALSE(dev.OpenCom(3, 9600, 8, 0, 0));
  EXPECT_FALSE(dev.IsOpen());
}
