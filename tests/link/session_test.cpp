// Session layer on a serial link against a pseudo-terminal peer: channel
// selector and reset bytes, the open guard, transaction result codes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "compat/session.h"
#include "pty_peer.h"

namespace {

const std::string kSelectB = "\x1b%B";
const std::string kReset = "\x1b%A";
char kCheck[] = "\x1b[0CHECKR40";
const std::string kAck = "\x02\xaa\x03";

class SessionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Whatever happened, leave the global port object closed.
    if (IsOpenDevice()) CloseDevice(1, '9');
  }
  PtyPeer peer;
};

}  // namespace

TEST_F(SessionTest, LetterBSendsSelectorThenCommandThenResetBeforeClose) {
  std::string seen;
  std::thread terminal([&] {
    seen = peer.ReceiveN(kSelectB.size() + std::strlen(kCheck));
    peer.Send(kAck);
  });
  char reply[64] = {0};
  int replyLen = sizeof reply;
  const int rc = TransProc(2, 'B', 9600, kCheck, reply, &replyLen, EndOfCondition1, 3000);
  terminal.join();

  EXPECT_EQ(rc, TLX_OK);
  EXPECT_EQ(replyLen, 3);
  EXPECT_EQ(std::string(reply, 3), kAck);
  EXPECT_EQ(seen, kSelectB + kCheck);
  EXPECT_EQ(peer.Receive(), kReset);
  EXPECT_FALSE(IsOpenDevice());
}

TEST_F(SessionTest, WriteOnlyExchangesShowWhichSequencesEachLetterSends) {
  struct Case {
    char letter;
    std::string expected;
  };
  const Case cases[] = {
      {'B', kSelectB + kCheck + kReset},    {'K', std::string("\x1b%K") + kCheck + kReset},
      {'\0', std::string(kCheck) + kReset},  // no selector, reset all the same
      {'Z', std::string(kCheck) + kReset},  {'9', std::string(kCheck)},  // neither
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TransProc(1, c.letter, 9600, kCheck, nullptr, nullptr, EndOfCondition1, 1000), TLX_OK)
        << "letter " << int(c.letter);
    EXPECT_EQ(peer.Receive(), c.expected) << "letter " << int(c.letter);
    EXPECT_FALSE(IsOpenDevice());
  }
}

TEST_F(SessionTest, ExplicitLengthSendsEmbeddedNulBytes) {
  char cmd[] = {'\x1b', 'P', '\0', '\x01', '\x03'};
  EXPECT_EQ(TransProc(1, '9', 9600, cmd, 5, nullptr, nullptr, nullptr, 1000), TLX_OK);
  EXPECT_EQ(peer.Receive(), std::string(cmd, 5));
  EXPECT_EQ(TransProc(1, '9', 9600, cmd, -1, nullptr, nullptr, nullptr, 1000), TLX_ERR_ARG);
  EXPECT_EQ(peer.Receive(100), "") << "nothing sent on a bad argument";
}

TEST_F(SessionTest, SecondOpenWhileOpenIsRefused) {
  ASSERT_EQ(OpenDevice(1, 'A', 9600), TLX_OK);
  EXPECT_TRUE(IsOpenDevice());
  EXPECT_EQ(peer.Receive(), "\x1b%A");
  EXPECT_EQ(OpenDevice(1, 'A', 9600), TLX_ERR_OPEN);
  EXPECT_EQ(TransProc(1, 'A', 9600, kCheck, nullptr, nullptr, nullptr, 1000), TLX_ERR_OPEN);
  EXPECT_EQ(FlushPort(1, 'A', 9600), TLX_ERR_OPEN);
  EXPECT_EQ(peer.Receive(100), "") << "a refused exchange sends nothing";
  CloseDevice(1, 'A');
  EXPECT_FALSE(IsOpenDevice());
  EXPECT_EQ(peer.Receive(), kReset);
  CloseDevice(1, 'A');  // closing a closed port sends nothing
  EXPECT_EQ(peer.Receive(100), "");
}

TEST_F(SessionTest, PortsThatNameNoDeviceGiveOpenError) {
  EXPECT_EQ(OpenDevice(7, 'B', 9600), TLX_ERR_OPEN);  // tty6 does not exist
  EXPECT_EQ(OpenDevice(-1, 'B', 9600), TLX_ERR_OPEN);
  char reply[8];
  int replyLen = sizeof reply;
  EXPECT_EQ(TransProc(7, 'B', 9600, kCheck, reply, &replyLen, EndOfCondition1, 1000), TLX_ERR_OPEN);
  EXPECT_EQ(replyLen, 8);
  EXPECT_FALSE(IsOpenDevice());
}

TEST_F(SessionTest, HidPortWithoutAnyMatchingDeviceGivesOpenError) {
  // Without the virtual terminal's USB stand-in no device carries the
  // terminal's identities: all three are tried and the open fails.
  if (getenv("TLX_SIM_USB_SOCKET") != nullptr) GTEST_SKIP() << "USB stand-in active";
  EXPECT_EQ(OpenDevice(0, 'B', 9600), TLX_ERR_OPEN);
  EXPECT_FALSE(IsOpenDevice());
  EXPECT_EQ(peer.Receive(100), "") << "no selector on HID";
}

TEST_F(SessionTest, SilentTerminalGivesTimeoutAndKeepsReplyLength) {
  char reply[32];
  std::memset(reply, 0, sizeof reply);
  int replyLen = sizeof reply;
  const int rc = TransProc(1, '\0', 9600, kCheck, reply, &replyLen, EndOfCondition1, 400);
  EXPECT_EQ(rc, TLX_ERR_TIMEOUT);
  EXPECT_EQ(replyLen, 32);
  EXPECT_EQ(peer.Receive(), std::string(kCheck) + kReset) << "port closed normally";
  EXPECT_FALSE(IsOpenDevice());
}

TEST_F(SessionTest, CancelFromAnotherThreadGivesCancelled) {
  std::atomic<bool> done(false);
  std::thread canceller([&] {
    while (!done) {
      usleep(50000);
      EXPECT_EQ(CancelReadDevice(), 0);
    }
  });
  char reply[32];
  int replyLen = sizeof reply;
  const int rc = TransProc(1, 'C', 9600, kCheck, reply, &replyLen, EndOfCondition3, 20000);
  done = true;
  canceller.join();
  EXPECT_EQ(rc, TLX_ERR_CANCEL);
  EXPECT_EQ(replyLen, 32);
  EXPECT_EQ(peer.Receive(), std::string("\x1b%C") + kCheck + kReset);
  EXPECT_FALSE(IsOpenDevice());
  EXPECT_EQ(CancelReadDevice(), 0) << "cancel without an exchange is harmless";
}

TEST_F(SessionTest, ReplyBufferMustHaveRoom) {
  char reply[4];
  int replyLen = 0;
  EXPECT_EQ(TransProc(1, 'B', 9600, kCheck, reply, &replyLen, EndOfCondition1, 1000), TLX_ERR_ARG);
  EXPECT_EQ(TransProc(1, 'B', 9600, kCheck, reply, nullptr, EndOfCondition1, 1000), TLX_ERR_ARG);
  EXPECT_EQ(TransProc(1, 'B', 9600, nullptr, reply, &replyLen, EndOfCondition1, 1000), TLX_ERR_ARG);
  EXPECT_EQ(peer.Receive(100), "");
}

TEST_F(SessionTest, ReplyLongerThanTheBufferIsCutAtItsCapacity) {
  std::thread terminal([&] {
    peer.ReceiveN(kSelectB.size() + std::strlen(kCheck));
    peer.Send(
        "\x02"
        "ABCDEFGH\x03");
  });
  char reply[9] = {0};
  int replyLen = 4;
  EXPECT_EQ(TransProc(1, 'B', 9600, kCheck, reply, &replyLen, EndOfCondition1, 3000), TLX_OK);
  terminal.join();
  EXPECT_EQ(replyLen, 4);
  EXPECT_EQ(std::string(reply, 5), std::string("\x02"
                                               "ABC\0",
                                               5));
}

TEST_F(SessionTest, FlushPortSendsTheLetterSequencesAndFlushDiscardsWhatWaits) {
  EXPECT_EQ(FlushPort(1, 'B', 9600), TLX_OK);
  EXPECT_EQ(peer.Receive(), kSelectB + kReset);
  EXPECT_FALSE(IsOpenDevice());

  ASSERT_EQ(OpenDevice(1, '9', 9600), TLX_OK);
  peer.Send("stale\x03");
  usleep(50000);
  g_device.Flush();
  peer.Send("\x02new\x03");
  char buf[16] = {0};
  EXPECT_EQ(ReadData(buf, sizeof buf, EndOfCondition1, 2000), 5);
  EXPECT_EQ(std::string(buf, 5), "\x02new\x03");
  CloseDevice(1, '9');
}

TEST_F(SessionTest, RawWriteAndReadWhileHoldingThePort) {
  ASSERT_EQ(OpenDevice(2, '\0', 115200), TLX_OK);
  char block[] =
      "\x02"
      "BLOCK";
  EXPECT_EQ(WriteData(0, block), TLX_OK);
  EXPECT_EQ(WriteData(3, block), TLX_OK);
  EXPECT_EQ(peer.ReceiveN(9), std::string("\x02"
                                          "BLOCK\x02"
                                          "BL"));
  EXPECT_EQ(WriteData(-1, block), TLX_ERR_WRITE);
  EXPECT_EQ(WriteData(1, nullptr), TLX_ERR_WRITE);

  peer.Send(
      "\x02"
      "1\x03");
  char buf[8] = {0};
  EXPECT_EQ(ReadData(buf, sizeof buf, MediaEndCondition, 2000), 3);
  EXPECT_EQ(GetHidReport(), 1024);
  CloseDevice(2, '\0');
  EXPECT_EQ(peer.Receive(), kReset);
  EXPECT_EQ(WriteData(0, block), TLX_ERR_WRITE) << "closed port";
}
