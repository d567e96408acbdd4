// The gadget as the host's kernel and libusb see it, transfer by transfer:
// descriptors, the report descriptor on ep0, the shapes of the answers, the
// flush's 1 ms transfer and what an unplug does to a pending transfer.
#include <thread>

#include "EngineState.h"
#include "FfsDescriptors.h"
#include "GadgetTest.h"

namespace tlxtest {
namespace {

using tlxsim::AnswerShape;

// Waits until the terminal has taken in a command.
bool Heard(tlxsim::VirtualTerminal& t, size_t commands) {
  for (int i = 0; i < 200; ++i) {
    if (t.History().size() >= commands) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

const std::string kCheck = "\x1b[0CHECKR40";

class GadgetUsb : public GadgetTest {};

class GadgetUsbShort : public GadgetTest {
  tlxsim::VirtualTerminalOptions Options() const override {
    return GadgetOptions(0x2FB0, 0x0101, AnswerShape::Short);
  }
};

class GadgetUsbPacket : public GadgetTest {
  tlxsim::VirtualTerminalOptions Options() const override {
    return GadgetOptions(0x2FB0, 0x0101, AnswerShape::Packet);
  }
};

TEST_F(GadgetUsb, EnumeratesAsHidWithBulkEndpoints) {
  RawDevice dev;
  ASSERT_TRUE(dev.Open());
  libusb_device* d = libusb_get_device(dev.handle());
  libusb_device_descriptor desc{};
  ASSERT_EQ(0, libusb_get_device_descriptor(d, &desc));
  EXPECT_EQ(0x2FB0, desc.idVendor);
  EXPECT_EQ(0x0101, desc.idProduct);
  EXPECT_EQ(LIBUSB_SPEED_HIGH, libusb_get_device_speed(d));
  libusb_config_descriptor* config = nullptr;
  ASSERT_EQ(0, libusb_get_active_config_descriptor(d, &config));
  ASSERT_EQ(1, config->bNumInterfaces);
  const libusb_interface_descriptor& intf = config->interface[0].altsetting[0];
  EXPECT_EQ(0, intf.bInterfaceNumber);
  EXPECT_EQ(LIBUSB_CLASS_HID, intf.bInterfaceClass);
  // The HID class descriptor: 9 bytes, type 0x21, one report descriptor.
  ASSERT_EQ(9, intf.extra_length);
  EXPECT_EQ(0x21, intf.extra[1]);
  EXPECT_EQ(0x22, intf.extra[6]);
  const size_t reportLength = intf.extra[7] | (intf.extra[8] << 8);
  EXPECT_EQ(tlxsim::HidReportDescriptor().size(), reportLength);
  ASSERT_EQ(2, intf.bNumEndpoints);
  EXPECT_EQ(0x81, intf.endpoint[0].bEndpointAddress);
  EXPECT_EQ(0x02, intf.endpoint[1].bEndpointAddress);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(LIBUSB_TRANSFER_TYPE_BULK, intf.endpoint[i].bmAttributes & 3);
    EXPECT_EQ(512, intf.endpoint[i].wMaxPacketSize);
  }
  libusb_free_config_descriptor(config);

  // The report descriptor, asked for on ep0 as usbhid asks for it.
  unsigned char report[256] = {};
  const int n = libusb_control_transfer(dev.handle(), 0x81, LIBUSB_REQUEST_GET_DESCRIPTOR, 0x2200,
                                        0, report, sizeof report, 1000);
  ASSERT_EQ(static_cast<int>(reportLength), n);
  EXPECT_EQ(tlxsim::HidReportDescriptor(), std::string(reinterpret_cast<char*>(report), n));
}

// The flush's 1 ms transfer: empty when nothing is pending, the whole
// report when an answer waits.
TEST_F(GadgetUsb, FlushTransferWithAndWithoutPendingBytes) {
  RawDevice dev;
  ASSERT_TRUE(dev.Open());
  unsigned char buf[1024];
  int got = -1;
  double ms = 0;
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, dev.In(buf, 1024, 1, &got, &ms));
  EXPECT_EQ(0, got);
  std::printf("1 ms IN transfer, nothing pending: %.2f ms\n", ms);

  ASSERT_EQ(0, dev.Out(kCheck, 1000));
  ASSERT_TRUE(Heard(terminal(), 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the answer is queued
  EXPECT_EQ(0, dev.In(buf, 1024, 1, &got, &ms));
  EXPECT_EQ(1024, got);
  EXPECT_EQ(std::string("\x02\xaa\x03", 3), std::string(reinterpret_cast<char*>(buf), 3));
  std::printf("1 ms IN transfer, an answer pending: %.2f ms\n", ms);
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, dev.In(buf, 1024, 1, &got, &ms));
  EXPECT_EQ(0, got);
}

TEST_F(GadgetUsbShort, ShortAnswersEndTheTransferAtOnce) {
  // An answer of exactly one packet: the short shape adds a zero-length
  // packet, so that it ends the transfer too.
  {
    std::lock_guard<std::mutex> g(terminal().engine().Impl().mu);
    terminal().engine().Impl().state.versionJson = std::string(510, 'v');
  }
  RawDevice dev;
  ASSERT_TRUE(dev.Open());
  unsigned char buf[1024];
  int got = -1;
  double ms = 0;
  ASSERT_EQ(0, dev.Out(kCheck, 1000));
  EXPECT_EQ(0, dev.In(buf, 1024, 2000, &got, &ms));
  EXPECT_EQ(3, got);
  EXPECT_LT(ms, 1000);
  ASSERT_EQ(0, dev.Out("\x1b[0GETDEVICEINFO", 1000));
  EXPECT_EQ(0, dev.In(buf, 1024, 2000, &got, &ms));
  EXPECT_EQ(512, got);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, dev.In(buf, 1024, 20, &got, &ms));
  EXPECT_EQ(0, got);
}

// One full packet and no zero-length packet: the host's 1024-byte transfer
// waits its whole timeout and then reports the 512 bytes it has.
TEST_F(GadgetUsbPacket, OnePacketAnswerWaitsForTheTimeout) {
  RawDevice dev;
  ASSERT_TRUE(dev.Open());
  unsigned char buf[1024];
  int got = -1;
  double ms = 0;
  ASSERT_EQ(0, dev.Out(kCheck, 1000));
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, dev.In(buf, 1024, 300, &got, &ms));
  EXPECT_EQ(512, got);
  EXPECT_GE(ms, 290);
  EXPECT_EQ(std::string("\x02\xaa\x03", 3), std::string(reinterpret_cast<char*>(buf), 3));
  std::printf("1024-byte IN transfer, 300 ms timeout, a 512-byte answer: %d bytes after %.1f ms\n",
              got, ms);
  // Two such answers fill one transfer.
  ASSERT_EQ(0, dev.Out(kCheck, 1000));
  ASSERT_EQ(0, dev.Out(kCheck, 1000));
  ASSERT_TRUE(Heard(terminal(), 3));
  EXPECT_EQ(0, dev.In(buf, 1024, 1000, &got, &ms));
  EXPECT_EQ(1024, got);
  EXPECT_EQ(0x02, buf[512]);
}

// An unplug while a transfer waits: that transfer fails at once, with an
// I/O error when the URB's failure comes first, or with "no device" when
// libusb has already heard of the removal from udev; every later transfer
// finds no device.
TEST_F(GadgetUsb, UnplugFailsThePendingTransferThenNoDevice) {
  RawDevice dev;
  ASSERT_TRUE(dev.Open());
  std::thread unplug([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    terminal().UnplugUsb();
  });
  unsigned char buf[1024];
  int got = -1;
  double ms = 0;
  const int first = dev.In(buf, 1024, 3000, &got, &ms);
  unplug.join();
  EXPECT_TRUE(first == LIBUSB_ERROR_IO || first == LIBUSB_ERROR_NO_DEVICE)
      << libusb_error_name(first);
  EXPECT_LT(ms, 1000);
  std::printf("pending IN transfer at the unplug: %s after %.1f ms (unplug at 100 ms)\n",
              libusb_error_name(first), ms);
  const int second = dev.In(buf, 1024, 100, &got, &ms);
  EXPECT_EQ(LIBUSB_ERROR_NO_DEVICE, second) << libusb_error_name(second);
  EXPECT_EQ(LIBUSB_ERROR_NO_DEVICE, dev.Out(kCheck, 100));
}

}  // namespace
}  // namespace tlxtest
