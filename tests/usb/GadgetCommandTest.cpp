// libtlxdev on port 0 through the kernel's USB stack and the real libusb,
// against the virtual terminal's gadget: commands, an unplug at every step
// of a HID download and of a pull, a replug in the same process, a cancel
// during a real IN transfer, the identity table's order with two devices,
// and the answer shapes.
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "EngineState.h"
#include "GadgetConfig.h"
#include "GadgetTest.h"
#include "compat/transfer.h"
#include "tlxdev.h"

namespace tlxtest {
namespace {

using tlxsim::AnswerShape;
using tlxsim::Fault;
using tlxsim::FaultKind;

constexpr double kUnplugLimitMs = 1000;

Fault At(FaultKind kind, int at) {
  Fault f;
  f.kind = kind;
  f.times = 1;
  f.at = at;
  return f;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string ScratchDir() {
  char tmpl[] = "/tmp/tlx-gadget-XXXXXX";
  const char* d = ::mkdtemp(tmpl);
  return d != nullptr ? d : "/tmp";
}

void WriteLocal(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class GadgetCommands : public GadgetTest {
 protected:
  void SetUp() override {
    GadgetTest::SetUp();
    if (IsSkipped()) return;
    tlxsim::Customer c = terminal().GetCustomer();
    c.sign = tlxsim::Answer{true, 0, ""};
    c.pin = tlxsim::Answer{true, 0, "1234"};
    terminal().SetCustomer(c);
    dir_ = ScratchDir();
  }
  void TearDown() override {
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    GadgetTest::TearDown();
  }
  void NextCommandWorks(const std::string& where) {
    ASSERT_TRUE(terminal().WaitUsbPresent()) << where << ": the device did not come back";
    char version[TLX_VERSION_SIZE] = {0};
    EXPECT_EQ(0, TLX_GetVer(0, 0, 9600, version)) << where;
    EXPECT_STREQ("TLX-1.4.2", version) << where;
  }
  std::string dir_;
};

TEST_F(GadgetCommands, CommandsWorkOnPortZero) {
  char model[TLX_MODEL_SIZE] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
  EXPECT_STREQ("R40", model);
  const std::string ad = dir_ + "/ad.jpg";
  const std::string body(5000, 'a');
  WriteLocal(ad, body);
  ASSERT_EQ(0, TLX_DownLoadFile(0, 0, 9600, 0, const_cast<char*>(ad.c_str())));
  std::string stored;
  tlxsim::EngineImpl& impl = terminal().engine().Impl();
  ASSERT_TRUE(impl.ReadTerminalFile(impl.MediaPath(0, "ad.jpg"), &stored));
  EXPECT_EQ(body, stored);
  char list[256] = {0};
  ASSERT_EQ(0, TLX_GetFileList(0, 0, 9600, 0, list, sizeof list));
  EXPECT_STREQ("ad.jpg", list);

  std::string doc = dir_ + "/doc.pdf", image = dir_ + "/hw.png", data = dir_ + "/hw.xml";
  WriteLocal(doc, "%PDF-1.4 tiny");
  ASSERT_EQ(0, TLX_StartSign(0, 0, 9600, 30, &doc[0], &image[0], &data[0]));
  std::string png;
  ASSERT_TRUE(impl.ReadTerminalFile("/tmp/hw.png", &png));
  std::ifstream in(image, std::ios::binary);
  EXPECT_EQ(png, std::string(std::istreambuf_iterator<char>(in), {}));

  // Command time through the kernel: the median of 30 online checks.
  std::vector<double> ms;
  for (int i = 0; i < 30; ++i) {
    const SteadyClock::time_point t0 = SteadyClock::now();
    ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
    ms.push_back(MsSince(t0));
  }
  std::sort(ms.begin(), ms.end());
  // Beside it, the bare round trip: one OUT and one IN transfer on a handle
  // kept open.
  std::vector<double> bare;
  {
    RawDevice dev;
    ASSERT_TRUE(dev.Open());
    unsigned char buf[1024];
    for (int i = 0; i < 30; ++i) {
      int got = 0;
      double inMs = 0;
      const SteadyClock::time_point t0 = SteadyClock::now();
      ASSERT_EQ(0, dev.Out("\x1b[0CHECKR40", 1000));
      ASSERT_EQ(0, dev.In(buf, 1024, 1000, &got, &inMs));
      bare.push_back(MsSince(t0));
    }
  }
  std::sort(bare.begin(), bare.end());
  std::printf(
      "TLX_CheckOnline through the gadget: median %.2f ms, max %.2f ms; bare libusb OUT+IN "
      "round trip: median %.2f ms (ratio %.1f)\n",
      ms[15], ms.back(), bare[15], ms[15] / bare[15]);
}

// The device goes at each step of a HID download (the switch command, the
// start packet, three data packets, the end packet): -2 within 1 s of the
// unplug, no partial file on the terminal, and the command after the replug
// works.
TEST_F(GadgetCommands, UnplugAtEveryStepOfAHidDownload) {
  if (!terminal().UsbReplugSeen()) GTEST_SKIP() << "no udevd: the replugged device is not seen";
  const std::string media = dir_ + "/film.bin";
  const std::string body(450000, 'f');
  WriteLocal(media, body);
  tlxsim::EngineImpl& impl = terminal().engine().Impl();
  for (int k = 1; k <= 6; ++k) {
    const std::string where = "vanish at step " + std::to_string(k);
    if (k == 1)
      terminal().SetFault("HIDCHANGE", At(FaultKind::Vanish, 1));
    else
      terminal().SetFault("PACKET", At(FaultKind::Vanish, k - 1));
    const int rc = TLX_DownLoadFile(0, 0, 9600, 1, const_cast<char*>(media.c_str()));
    const double ms = MsSince(terminal().LastUsbUnplug());  // the data before it takes its time
    terminal().ClearFaults();
    EXPECT_EQ(-2, rc) << where;
    EXPECT_LT(ms, kUnplugLimitMs) << where;
    std::string stored;
    if (impl.ReadTerminalFile(impl.MediaPath(1, "film.bin"), &stored)) {
      EXPECT_EQ(body.size(), stored.size()) << where << ": a partial file on the terminal";
    }
    NextCommandWorks(where);
  }
  EXPECT_EQ(6, terminal().HidVanishes());
  EXPECT_EQ(0, TLX_DownLoadFile(0, 0, 9600, 1, const_cast<char*>(media.c_str())));
}

// The same at each packet of a pull (start, four data packets, end); a
// pull whose first data never comes gives -5, a gone device included.
TEST_F(GadgetCommands, UnplugAtEveryPacketOfAPull) {
  if (!terminal().UsbReplugSeen()) GTEST_SKIP() << "no udevd: the replugged device is not seen";
  tlxsim::EngineImpl& impl = terminal().engine().Impl();
  impl.WriteTerminalFile("/tmp/pull.bin", std::string(10000, 'p'));
  const std::string local = dir_ + "/pulled.bin";
  char pull[] = "\x1b[0PULLFILE\x02/tmp/pull.bin\x03";
  for (int k = 1; k <= 6; ++k) {
    const std::string where = "vanish at packet " + std::to_string(k);
    terminal().SetFault("PULLFILE", At(FaultKind::Vanish, k));
    const int rc = PullFile(0, 0, 9600, 3000, static_cast<int>(sizeof pull - 1), pull,
                            const_cast<char*>(local.c_str()));
    const double ms = MsSince(terminal().LastUsbUnplug());
    terminal().ClearFaults();
    EXPECT_EQ(k == 1 ? -5 : -2, rc) << where;
    EXPECT_LT(ms, kUnplugLimitMs) << where;
    EXPECT_FALSE(Exists(local)) << where << ": partial local file";
    ::unlink(local.c_str());
    NextCommandWorks(where);
  }
  ASSERT_EQ(0, PullFile(0, 0, 9600, 3000, static_cast<int>(sizeof pull - 1), pull,
                        const_cast<char*>(local.c_str())));
  std::ifstream in(local, std::ios::binary);
  EXPECT_EQ(std::string(10000, 'p'), std::string(std::istreambuf_iterator<char>(in), {}));
}

// The signature's pull cut by an unplug: -2, neither file left, and the
// next signature works.
TEST_F(GadgetCommands, SignaturePullCutByUnplugLeavesNoFile) {
  if (!terminal().UsbReplugSeen()) GTEST_SKIP() << "no udevd: the replugged device is not seen";
  std::string doc = dir_ + "/doc.pdf", image = dir_ + "/hw.png", data = dir_ + "/hw.xml";
  WriteLocal(doc, "%PDF-1.4 tiny");
  terminal().SetFault("PULLFILE", At(FaultKind::Vanish, 2));
  const SteadyClock::time_point t0 = SteadyClock::now();
  EXPECT_EQ(-2, TLX_StartSign(0, 0, 9600, 30, &doc[0], &image[0], &data[0]));
  EXPECT_LT(MsSince(t0), 2500);
  EXPECT_FALSE(Exists(image));
  EXPECT_FALSE(Exists(data));
  ASSERT_TRUE(terminal().WaitUsbPresent());
  EXPECT_EQ(0, TLX_StartSign(0, 0, 9600, 30, &doc[0], &image[0], &data[0]));
  EXPECT_TRUE(Exists(image));
  EXPECT_TRUE(Exists(data));
}

// Unplugged, the device cannot be opened; plugged in again, the next
// command of the same process works. (Without udevd libusb never hears of
// the device that came back: every later open gives -3.)
TEST_F(GadgetCommands, ReplugWithinOneProcess) {
  if (!terminal().UsbReplugSeen()) GTEST_SKIP() << "no udevd: the replugged device is not seen";
  char model[TLX_MODEL_SIZE] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
  ASSERT_TRUE(terminal().UnplugUsb());
  // The host lets go of it within moments.
  int rc = 0;
  char version[TLX_VERSION_SIZE] = {0};
  for (int i = 0; i < 100 && rc != -3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    rc = TLX_GetVer(0, 0, 9600, version);
  }
  EXPECT_EQ(-3, rc);
  ASSERT_TRUE(terminal().ReplugUsb());
  ASSERT_TRUE(terminal().WaitUsbPresent());
  EXPECT_EQ(0, TLX_GetVer(0, 0, 9600, version));
  EXPECT_STREQ("TLX-1.4.2", version);
}

// A cancel while the library waits in a real IN transfer for the PIN.
TEST_F(GadgetCommands, CancelDuringARealInTransfer) {
  tlxsim::Customer c = terminal().GetCustomer();
  c.pin.answers = false;
  terminal().SetCustomer(c);
  std::atomic<bool> done{false};
  std::atomic<double> cancelledAt{0};
  const SteadyClock::time_point t0 = SteadyClock::now();
  std::thread canceller([&] {
    for (int i = 0; i < 400 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      bool heard = false;
      for (const auto& r : terminal().History())
        if (r.bytes.find('\x82') != std::string::npos || r.bytes.find('\x81') != std::string::npos)
          heard = true;
      if (heard) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well inside the wait
        cancelledAt = MsSince(t0);
        EXPECT_EQ(0, TLX_CancelRead(0, 0, 0));
        return;
      }
    }
  });
  char pin[TLX_PIN_BLOCK_SIZE] = {0};
  const int rc = TLX_ReadPin(0, 0, 9600, 0, 0, 30, pin, 32);
  const double endedAt = MsSince(t0);
  done = true;
  canceller.join();
  EXPECT_EQ(-9, rc);
  ASSERT_GT(cancelledAt.load(), 0);
  EXPECT_LT(endedAt - cancelledAt.load(), 250);
  EXPECT_STREQ("", pin);
  std::printf("cancel to return through the gadget: %.1f ms\n", endedAt - cancelledAt.load());
  char model[TLX_MODEL_SIZE] = {0};
  EXPECT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
}

// Two terminals on two controllers: the library takes the identity that
// comes first in its table (2fb0:0101, 2fb0:0102, 0483:5750).
TEST(GadgetIdentities, TheTablesOrderWithTwoDevices) {
  TLX_NEED_GADGET();
  if (tlxsim::GadgetConfig::Controllers().size() < 2)
    GTEST_SKIP() << "two USB device controllers needed (modprobe dummy_hcd num=2)";
  // Both plugged in before libusb first looks (without udevd it never
  // hears of a device plugged in later).
  tlxsim::VirtualTerminalOptions lateOptions = GadgetOptions(0x0483, 0x5750);
  tlxsim::VirtualTerminalOptions earlyOptions = GadgetOptions(0x2FB0, 0x0102);
  lateOptions.waitForHost = earlyOptions.waitForHost = false;
  tlxsim::VirtualTerminal late(lateOptions);
  tlxsim::VirtualTerminal early(earlyOptions);
  late.Start();
  early.Start();
  ASSERT_TRUE(late.WaitUsbEnumerated());
  ASSERT_TRUE(early.WaitUsbEnumerated());
  ASSERT_TRUE(late.WaitUsbPresent());
  ASSERT_TRUE(early.WaitUsbPresent());
  EXPECT_NE(late.Udc(), early.Udc());
  char model[TLX_MODEL_SIZE] = {0};
  ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
  EXPECT_EQ(1u, early.History().size());
  EXPECT_EQ(0u, late.History().size());
  // With 2fb0:0102 gone, 0483:5750 answers.
  early.Stop();
  ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
  EXPECT_EQ(1u, late.History().size());
}

// Answers of one packet without a zero-length packet: each read of the
// library waits out one 50 ms IN transfer, the command still succeeds well
// within its limit.
TEST(GadgetShapes, OnePacketAnswersCostOneTransferTimeout) {
  TLX_NEED_GADGET();
  tlxsim::VirtualTerminal t(GadgetOptions(0x2FB0, 0x0101, AnswerShape::Packet));
  t.Start();
  char model[TLX_MODEL_SIZE] = {0};
  const SteadyClock::time_point t0 = SteadyClock::now();
  ASSERT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
  const double ms = MsSince(t0);
  EXPECT_STREQ("R40", model);
  EXPECT_LT(ms, 1000);
  std::printf("TLX_CheckOnline with 512-byte answers without ZLP: %.1f ms\n", ms);
  char version[TLX_VERSION_SIZE] = {0};
  EXPECT_EQ(0, TLX_GetVer(0, 0, 9600, version));
  EXPECT_STREQ("TLX-1.4.2", version);
}

// Short answers: commands work, but a pull reads whole 1024-byte reports:
// its start packet alone (6 bytes) never fills one, so it gives -5 when
// its time for the first data has run out.
TEST(GadgetShapes, ShortAnswers) {
  TLX_NEED_GADGET();
  tlxsim::VirtualTerminal t(GadgetOptions(0x2FB0, 0x0101, AnswerShape::Short));
  t.Start();
  char version[TLX_VERSION_SIZE] = {0};
  const SteadyClock::time_point t0 = SteadyClock::now();
  ASSERT_EQ(0, TLX_GetVer(0, 0, 9600, version));
  std::printf("TLX_GetVer with short answers: %.1f ms\n", MsSince(t0));
  EXPECT_STREQ("TLX-1.4.2", version);
  t.engine().Impl().WriteTerminalFile("/tmp/pull.bin", std::string(5000, 'p'));
  const std::string local = ScratchDir() + "/pulled.bin";
  char pull[] = "\x1b[0PULLFILE\x02/tmp/pull.bin\x03";
  const SteadyClock::time_point t1 = SteadyClock::now();
  const int rc = PullFile(0, 0, 9600, 3000, static_cast<int>(sizeof pull - 1), pull,
                          const_cast<char*>(local.c_str()));
  const double ms = MsSince(t1);
  std::printf("pull of 5000 bytes with short answers: %d after %.1f ms\n", rc, ms);
  EXPECT_EQ(-5, rc);
  EXPECT_GE(ms, 2900);
  EXPECT_FALSE(Exists(local));
}

}  // namespace
}  // namespace tlxtest
