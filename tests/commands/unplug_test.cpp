// A terminal that goes away while a command waits: the USB device vanishes
// (libusb reports NO_DEVICE) or the serial line hangs up. The waiting read
// ends at once with -2 instead of after the caller's timeout, the pulled
// file is not left behind, and the next command opens afresh and works.
#include <chrono>

#include "CommandTest.h"

namespace tlxtest {
namespace {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

class Unplug : public LinkTest {
 protected:
  tlxsim::FaultKind Gone() const { return Hid() ? FaultKind::Vanish : FaultKind::Hangup; }

  // Time a call takes, in milliseconds.
  template <typename Call>
  long Timed(Call call, int* rc) {
    const SteadyClock::time_point t0 = SteadyClock::now();
    *rc = call();
    return std::chrono::duration_cast<Ms>(SteadyClock::now() - t0).count();
  }

  // The command after the unplug: works on the line or device that is back.
  void NextCommandWorks() {
    // A real device comes back when it is plugged in again (at once on the
    // stand-in).
    if (Hid() && !terminal().UsbReplugSeen())
      GTEST_SKIP() << "no udevd: the replugged device is not seen";
    ASSERT_TRUE(terminal().WaitUsbPresent());
    char version[TLX_VERSION_SIZE] = {0};
    EXPECT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
    EXPECT_STREQ("TLX-1.4.2", version);
  }
};

// A PIN entry of 60 s used to wait all of it (62 s) for a terminal that was
// gone at once.
TEST_P(Unplug, PinEntryEndsAtOnceWithMinus2) {
  SetFault("PIN", Fault{Gone(), 0, 1});
  char pin[TLX_PIN_BLOCK_SIZE] = {0};
  int rc = 1;
  const long ms = Timed([&] { return TLX_ReadPin(Port(), 0, 9600, 0, 0, 60, pin, 32); }, &rc);
  EXPECT_EQ(-2, rc);
  EXPECT_LT(ms, 1500);
  EXPECT_STREQ("", pin);
  EXPECT_EQ(1, Hid() ? terminal().HidVanishes() : terminal().SerialHangups());
  NextCommandWorks();
}

TEST_P(Unplug, InformationWaitEndsAtOnce) {
  SetFault("2A", Fault{Gone(), 0, 1});
  char info[] = "confirm";
  int result = -100;
  int rc = 1;
  const long ms = Timed([&] { return TLX_StartInfo(Port(), 0, 9600, 60, info, &result); }, &rc);
  EXPECT_EQ(-2, rc);
  EXPECT_LT(ms, 1500);
  EXPECT_EQ(-100, result);
  NextCommandWorks();
}

TEST_P(Unplug, ReplyOfAShortCommandEndsAtOnce) {
  SetFault("GETDEVICEINFO", Fault{Gone(), 0, 1});
  char version[TLX_VERSION_SIZE] = {0};
  int rc = 1;
  const long ms = Timed([&] { return TLX_GetVer(Port(), 0, 9600, version); }, &rc);
  EXPECT_EQ(-2, rc);
  EXPECT_LT(ms, 1000);
  NextCommandWorks();
}

TLX_BOTH_LINKS(Unplug);

// The pull of a signature, whose device vanishes after the first report of
// the image: an error at once, no partial image, and signing works again.
TEST_F(CommandTest, SignaturePullCutByUnplugLeavesNoFile) {
  tlxsim::Customer c = terminal().GetCustomer();
  c.sign = tlxsim::Answer{true, 0, ""};
  SetCustomer(c);
  std::string doc = Scratch("doc.pdf"), image = Scratch("hw.png"), data = Scratch("hw.xml");
  WriteFile(doc, "%PDF-1.4 tiny");
  SetFault("PULLFILE", Fault{FaultKind::Vanish, 0, 1});
  const SteadyClock::time_point t0 = SteadyClock::now();
  const int rc = TLX_StartSign(kHidPort, 0, 9600, 30, &doc[0], &image[0], &data[0]);
  const long ms = std::chrono::duration_cast<Ms>(SteadyClock::now() - t0).count();
  EXPECT_EQ(-2, rc);
  EXPECT_LT(ms, 2500);
  EXPECT_FALSE(FileExists(image));
  EXPECT_FALSE(FileExists(data));
  if (!terminal().UsbReplugSeen()) GTEST_SKIP() << "no udevd: the replugged device is not seen";
  ASSERT_TRUE(terminal().WaitUsbPresent());
  EXPECT_EQ(0, TLX_StartSign(kHidPort, 0, 9600, 30, &doc[0], &image[0], &data[0]));
  EXPECT_TRUE(FileExists(image));
  EXPECT_TRUE(FileExists(data));
}

}  // namespace
}  // namespace tlxtest
