// The USB side: libtlxdev on port 0 goes through the libusb stand-in (picked
// by LD_LIBRARY_PATH) to the virtual terminal; every write is a 1024-byte
// report, every answer comes back in 1024-byte reports.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "SimTest.h"

using namespace linktest;
using tlxsim::Fault;
using tlxsim::FaultKind;
using tlxsim::Link;

namespace {

class HidLinkTest : public tlxsim::SimTest {};

TEST_F(HidLinkTest, CommandArrivesWithoutPaddingAndTheAnswerComesBack) {
  Exchange e = Trans(kHidPort, 'B', kCheckR40, EndOfCondition1, 1000);
  ASSERT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
  auto history = History();
  // No channel selector or reset on HID: the command is all that arrived.
  ASSERT_EQ(1u, history.size());
  EXPECT_EQ(Link::Hid, history[0].link);
  EXPECT_EQ(kCheckR40, history[0].bytes);
}

TEST_F(HidLinkTest, ExchangesFollowEachOtherWithoutLeftovers) {
  // Each exchange opens, claims, writes, reads and closes; nothing of one
  // answer may show up in the next.
  for (int i = 0; i < 5; ++i) {
    FlushPort(kHidPort, 0, 9600);
    Exchange e = Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 1000);
    ASSERT_EQ(0, e.result) << "exchange " << i;
    EXPECT_EQ(kAck, e.reply) << "exchange " << i;
  }
  EXPECT_EQ(5u, Find(History(), kCheckR40).size());
}

TEST_F(HidLinkTest, SilentTerminalTimesOut) {
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 500).result);
  EXPECT_EQ(1u, Find(History(), kCheckR40).size());
}

TEST_F(HidLinkTest, VanishedDeviceTimesOutIsMissingOnceAndComesBack) {
  SetFault("CHECKR40", Fault{FaultKind::Vanish, 0, 1});
  // A vanished device makes the IN transfers fail; the port layer counts
  // them as empty, so the exchange ends in a timeout.
  EXPECT_EQ(TLX_ERR_TIMEOUT, Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 500).result);
  EXPECT_EQ(1, terminal().HidVanishes());
  // The next enumeration does not list it; then it is back, as if re-plugged.
  EXPECT_EQ(TLX_ERR_OPEN, Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 500).result);
  Exchange e = Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

TEST_F(HidLinkTest, LateAnswerToAClosedHandleNeverReachesTheNextOne) {
  // The host gives up on GETDEVICEINFO and closes; its answer falls due
  // while the next exchange is still reading (that command gets no answer
  // of its own). The next handle must not receive it.
  SetFault("GETDEVICEINFO", Fault{FaultKind::Late, 1200, 1});
  SetFault("CHECKR40", Fault{FaultKind::Silence, 0, 1});
  EXPECT_EQ(TLX_ERR_TIMEOUT,
            Trans(kHidPort, 0, "\x1b[0GETDEVICEINFO", EndOfCondition1, 500).result);
  Exchange e = Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 1500);
  EXPECT_EQ(TLX_ERR_TIMEOUT, e.result) << e.reply;
}

class ThirdIdentityTest : public tlxsim::SimTest {
 protected:
  ThirdIdentityTest() {
    options_.vendorId = 0x0483;
    options_.productId = 0x5750;
  }
};

TEST_F(ThirdIdentityTest, HostFindsATerminalWithTheLastIdentityOfItsTable) {
  Exchange e = Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 1000);
  EXPECT_EQ(0, e.result);
  EXPECT_EQ(kAck, e.reply);
}

class UnknownIdentityTest : public tlxsim::SimTest {
 protected:
  UnknownIdentityTest() {
    options_.vendorId = 0x1234;
    options_.productId = 0x5678;
  }
};

TEST_F(UnknownIdentityTest, HostDoesNotOpenADeviceOutsideItsTable) {
  EXPECT_EQ(TLX_ERR_OPEN, Trans(kHidPort, 0, kCheckR40, EndOfCondition1, 1000).result);
  EXPECT_TRUE(History().empty());
}

}  // namespace
