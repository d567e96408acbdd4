// CDevice and the session layer on the USB HID link, through the libusb
// stand-in to the virtual terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "SimTest.h"
#include "compat/CDevice.h"
#include "compat/session.h"

using tlxsim::Fault;
using tlxsim::FaultKind;
using tlxsim::Link;

namespace {

const std::string kCheck = "\x1b[0CHECKR40";
const std::string kAck = "\x02\xaa\x03";

class HidTransport : public tlxsim::SimTest {
 protected:
  void TearDown() override {
    if (IsOpenDevice()) CloseDevice(0, 0);
    tlxsim::SimTest::TearDown();
  }

  // Opens port 0 and writes the check command.
  void OpenAndSendCheck() {
    ASSERT_EQ(OpenDevice(kHidPort, 'B', 9600), TLX_OK);
    ASSERT_EQ(g_device.GetType(), TLX_LINK_HID);
    ASSERT_EQ(g_device.Write(kCheck.data(), static_cast<int>(kCheck.size())), 1024);
  }
};

}  // namespace

TEST_F(HidTransport, WritesGoOutAsWholePaddedReports) {
  ASSERT_EQ(OpenDevice(kHidPort, 'B', 9600), TLX_OK);
  EXPECT_EQ(g_device.GetPort(), 0);
  EXPECT_EQ(GetHidReport(), 1024);
  // Length 0: up to the NUL; one report of 10 bytes and 1014 zero bytes.
  EXPECT_EQ(g_device.Write("\x1b[0CHECKR40\0tail", 0), 1024);
  char reply[64] = {0};
  EXPECT_EQ(g_device.Read(reply, sizeof reply, EndOfCondition1, 2000), 3);
  EXPECT_EQ(std::string(reply, 3), kAck);
  CloseDevice(0, 'B');

  auto history = History();
  ASSERT_EQ(history.size(), 1u) << "no selector or reset on HID";
  EXPECT_EQ(history[0].link, Link::Hid);
  EXPECT_EQ(history[0].bytes, kCheck);
}

TEST_F(HidTransport, ReadEndsAtTheCompletingByteOfAReport) {
  // The answer arrives in a 1024-byte report; the count stops at ETX.
  OpenAndSendCheck();
  char reply[2048];
  std::memset(reply, '#', sizeof reply);
  EXPECT_EQ(g_device.Read(reply, sizeof reply, EndOfCondition1, 2000), 3);
  EXPECT_EQ(std::string(reply, 3), kAck);
  EXPECT_EQ(reply[3], '#') << "bytes behind the completing byte are not copied";
  CloseDevice(0, 0);

  // "Anything arrived": exactly one byte, the rest of the report is lost.
  OpenAndSendCheck();
  std::memset(reply, '#', sizeof reply);
  EXPECT_EQ(g_device.Read(reply, sizeof reply, EndOfCondition4, 2000), 1);
  EXPECT_EQ(reply[0], '\x02');
  EXPECT_EQ(reply[1], '#');
  CloseDevice(0, 0);

  // A full buffer ends the read with the capacity.
  OpenAndSendCheck();
  std::memset(reply, '#', sizeof reply);
  EXPECT_EQ(g_device.Read(reply, 2, EndOfCondition1, 2000), 2);
  EXPECT_EQ(std::string(reply, 3), "\x02\xaa#");
  CloseDevice(0, 0);
}

TEST_F(HidTransport, ExtraBytesBehindTheAnswerAreDroppedWithTheReport) {
  SetFault("CHECKR40", Fault{FaultKind::ExtraBytes, 0, 1});
  std::string cmd = kCheck;
  char reply[64] = {0};
  int replyLen = sizeof reply;
  ASSERT_EQ(TransProc(kHidPort, 0, 9600, &cmd[0], reply, &replyLen, EndOfCondition1, 2000), TLX_OK);
  EXPECT_EQ(replyLen, 3);
  EXPECT_EQ(std::string(reply, 3), kAck);
}

TEST_F(HidTransport, LongWriteSpansSeveralReports) {
  ASSERT_EQ(OpenDevice(kHidPort, 0, 9600), TLX_OK);
  std::string block(1500, 'z');
  EXPECT_EQ(WriteData(static_cast<int>(block.size()), &block[0]), TLX_OK);
  EXPECT_EQ(g_device.Write(block.data(), static_cast<int>(block.size())), 2048);
  CloseDevice(0, 0);
}

TEST_F(HidTransport, FlushDrainsAnUnreadAnswer) {
  OpenAndSendCheck();
  usleep(200000);  // let the answer reach the stand-in
  g_device.Flush();
  char reply[64];
  EXPECT_EQ(g_device.Read(reply, sizeof reply, EndOfCondition1, 500), TLX_PORT_TIMEOUT)
      << "the answer was discarded";
  CloseDevice(0, 0);
}

TEST_F(HidTransport, SilenceTimesOutAndCancelEndsTheRead) {
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, -1});
  std::string cmd = kCheck;
  char reply[64];
  int replyLen = sizeof reply;
  EXPECT_EQ(TransProc(kHidPort, 0, 9600, &cmd[0], reply, &replyLen, EndOfCondition1, 400),
            TLX_ERR_TIMEOUT);
  EXPECT_EQ(replyLen, 64);

  std::atomic<bool> done(false);
  std::thread canceller([&] {
    while (!done) {
      usleep(50000);
      CancelReadDevice();
    }
  });
  const int rc = TransProc(kHidPort, 0, 9600, &cmd[0], reply, &replyLen, EndOfCondition1, 20000);
  done = true;
  canceller.join();
  EXPECT_EQ(rc, TLX_ERR_CANCEL);
  EXPECT_FALSE(IsOpenDevice());
}

// A cancel that came while no read was waiting is stale: the next read of
// the HID link clears it itself and waits for its answer, also when it is
// entered directly rather than through Read.
TEST_F(HidTransport, AStaleCancelDoesNotEndTheNextRead) {
  OpenAndSendCheck();
  g_device.CancelRead();
  char reply[64] = {0};
  EXPECT_EQ(g_device.ReadHid(reply, sizeof reply, EndOfCondition1, 2000), 3);
  EXPECT_EQ(std::string(reply, 3), kAck);
  // One that comes during the read still ends it.
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, 1});
  ASSERT_EQ(g_device.Write(kCheck.data(), static_cast<int>(kCheck.size())), 1024);
  std::thread canceller([] {
    usleep(200000);
    g_device.CancelRead();
  });
  EXPECT_EQ(g_device.ReadHid(reply, sizeof reply, EndOfCondition1, 20000), TLX_PORT_CANCELLED);
  canceller.join();
  CloseDevice(0, 0);
}

TEST_F(HidTransport, OpenStateAndClosedLinkRefusals) {
  ASSERT_EQ(OpenDevice(kHidPort, 0, 9600), TLX_OK);
  EXPECT_TRUE(g_device.IsOpen());
  EXPECT_EQ(OpenDevice(kHidPort, 0, 9600), TLX_ERR_OPEN);
  EXPECT_TRUE(g_device.OpenHid(0x2FB0, 0x0101)) << "second open while held is a no-op";
  EXPECT_EQ(g_device.GetBaud(), TLX_PORT_NOT_OPEN) << "no serial descriptor on HID";
  EXPECT_FALSE(g_device.SetNewBaud(9600));
  char buf[8];
  EXPECT_EQ(g_device.Read(nullptr, 8, nullptr, 100), TLX_PORT_BAD_ARG);
  EXPECT_EQ(g_device.Write(nullptr, 8), TLX_PORT_BAD_ARG);
  CloseDevice(0, 0);
  EXPECT_FALSE(g_device.IsOpen());
  EXPECT_EQ(g_device.Read(buf, sizeof buf, nullptr, 100), TLX_PORT_NOT_OPEN);
  EXPECT_EQ(g_device.Write("x", 1), TLX_PORT_NOT_OPEN);
}

namespace {

template <uint16_t Vid, uint16_t Pid>
class IdentityTest : public tlxsim::SimTest {
 protected:
  IdentityTest() {
    options_.vendorId = Vid;
    options_.productId = Pid;
  }
  void TearDown() override {
    if (IsOpenDevice()) CloseDevice(0, 0);
    tlxsim::SimTest::TearDown();
  }
};

using SecondIdentity = IdentityTest<0x2FB0, 0x0102>;
using ThirdIdentity = IdentityTest<0x0483, 0x5750>;
using ForeignIdentity = IdentityTest<0x0483, 0x5740>;

}  // namespace

TEST_F(SecondIdentity, OpensThroughTheIdentityTable) {
  EXPECT_EQ(OpenDevice(kHidPort, 0, 9600), TLX_OK);
  EXPECT_TRUE(IsOpenDevice());
}

TEST_F(ThirdIdentity, OpensOnTheThirdAttempt) {
  EXPECT_EQ(g_hidIdentities[2].vendorId, 0x0483u);
  EXPECT_EQ(g_hidIdentities[2].productId, 0x5750u);
  CDevice probe;
  EXPECT_FALSE(probe.OpenHid(g_hidIdentities[0].vendorId, g_hidIdentities[0].productId));
  EXPECT_FALSE(probe.IsOpen()) << "a failed open leaves the object closed";
  EXPECT_EQ(OpenDevice(kHidPort, 0, 9600), TLX_OK);
  EXPECT_TRUE(IsOpenDevice());
}

TEST_F(ForeignIdentity, NoMatchingIdentityGivesOpenError) {
  EXPECT_EQ(OpenDevice(kHidPort, 'B', 9600), TLX_ERR_OPEN);
  EXPECT_FALSE(IsOpenDevice());
  EXPECT_TRUE(History().empty());
}
