// The libusb stand-in where its behaviour is subtle: IN timeouts with a
// transferred count of 0, the count of a delivered report, the vanished
// device, the interface ownership and the endpoint and length checks. The
// test calls libusb directly; the loader gives it the stand-in.
#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "LinkTestSupport.h"
#include "SimTest.h"

using namespace linktest;
using tlxsim::Fault;
using tlxsim::FaultKind;

namespace {

class UsbStandInTest : public tlxsim::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ASSERT_EQ(0, libusb_init(nullptr));
  }
  void TearDown() override {
    if (handle_) libusb_close(handle_);
    if (list_) libusb_free_device_list(list_, 1);
    SimTest::TearDown();
  }

  // Lists, opens, detaches usbhid and claims interface 0, like libtlxdev.
  void OpenTerminal() {
    ASSERT_EQ(1, libusb_get_device_list(nullptr, &list_));
    ASSERT_EQ(0, libusb_open(list_[0], &handle_));
    ASSERT_EQ(1, libusb_kernel_driver_active(handle_, 0));
    ASSERT_EQ(0, libusb_detach_kernel_driver(handle_, 0));
    ASSERT_EQ(0, libusb_claim_interface(handle_, 0));
  }

  int Out(const std::string& payload) {
    unsigned char report[1024] = {};
    std::memcpy(report, payload.data(), payload.size());
    int done = -1;
    int r = libusb_bulk_transfer(handle_, 0x02, report, sizeof report, &done, 1000);
    if (r == 0) {
      EXPECT_EQ(1024, done);
    }
    return r;
  }

  libusb_device** list_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
};

TEST_F(UsbStandInTest, DeviceCarriesTheConfiguredIdentity) {
  ASSERT_EQ(1, libusb_get_device_list(nullptr, &list_));
  EXPECT_EQ(nullptr, list_[1]);
  libusb_device_descriptor d{};
  ASSERT_EQ(0, libusb_get_device_descriptor(list_[0], &d));
  EXPECT_EQ(0x2FB0, d.idVendor);
  EXPECT_EQ(0x0101, d.idProduct);
}

TEST_F(UsbStandInTest, InWithoutAnswerTimesOutWithNothingTransferred) {
  OpenTerminal();
  unsigned char buf[1025];
  int done = 77;
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 50));
  EXPECT_EQ(0, done);
}

TEST_F(UsbStandInTest, AnswerComesAsOneFullZeroPaddedReport) {
  OpenTerminal();
  ASSERT_EQ(0, Out(kCheckR40));
  unsigned char buf[1025];
  std::memset(buf, 0x5a, sizeof buf);
  int done = 0;
  ASSERT_EQ(0, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 1000));
  ASSERT_EQ(1024, done);
  EXPECT_EQ(kAck, std::string(reinterpret_cast<char*>(buf), 3));
  for (int i = 3; i < 1024; ++i) ASSERT_EQ(0, buf[i]) << "byte " << i;
  EXPECT_EQ(0x5a, buf[1024]);  // nothing written past the length
  // The count may be left out.
  ASSERT_EQ(0, Out(kCheckR40));
  EXPECT_EQ(0, libusb_bulk_transfer(handle_, 0x81, buf, 1024, nullptr, 1000));
  EXPECT_EQ(kAck, std::string(reinterpret_cast<char*>(buf), 3));
  // One answer, one report: the next IN finds nothing.
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 50));
  EXPECT_EQ(0, done);
}

TEST_F(UsbStandInTest, QueuedReportsComeEvenWithTheShortestTimeout) {
  // The host's flush reads with 1 ms: what has arrived must come out.
  OpenTerminal();
  ASSERT_EQ(0, Out(kCheckR40));
  ASSERT_EQ(0, Out(kCheckR40));
  ASSERT_TRUE(WaitFor([&] { return Find(History(), kCheckR40).size() == 2; }, 2000));
  unsigned char buf[1024];
  int done = 0;
  // Both answers are due at once; give them time to cross the socket.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(0, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 1)) << "report " << i;
    EXPECT_EQ(1024, done);
    EXPECT_EQ(kAck, std::string(reinterpret_cast<char*>(buf), 3));
  }
  EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 1));
  EXPECT_EQ(0, done);
}

TEST_F(UsbStandInTest, WrongEndpointsAndLengthsAreRefused) {
  OpenTerminal();
  unsigned char buf[2048] = {};
  int done = 5;
  EXPECT_EQ(LIBUSB_ERROR_INVALID_PARAM, libusb_bulk_transfer(handle_, 0x01, buf, 1024, &done, 10));
  EXPECT_EQ(0, done);
  EXPECT_EQ(LIBUSB_ERROR_INVALID_PARAM, libusb_bulk_transfer(handle_, 0x82, buf, 1024, &done, 10));
  EXPECT_EQ(LIBUSB_ERROR_INVALID_PARAM, libusb_bulk_transfer(handle_, 0x02, buf, 10, &done, 10));
  EXPECT_EQ(LIBUSB_ERROR_INVALID_PARAM, libusb_bulk_transfer(handle_, 0x02, buf, 2048, &done, 10));
  EXPECT_EQ(LIBUSB_ERROR_INVALID_PARAM, libusb_bulk_transfer(handle_, 0x81, buf, 64, &done, 10));
  EXPECT_TRUE(History().empty());  // nothing reached the terminal
}

TEST_F(UsbStandInTest, InterfaceBelongsToOneHandleAndToUsbhidUntilDetached) {
  ASSERT_EQ(1, libusb_get_device_list(nullptr, &list_));
  ASSERT_EQ(0, libusb_open(list_[0], &handle_));
  EXPECT_EQ(LIBUSB_ERROR_BUSY, libusb_claim_interface(handle_, 0));
  ASSERT_EQ(0, libusb_detach_kernel_driver(handle_, 0));
  ASSERT_EQ(0, libusb_claim_interface(handle_, 0));

  libusb_device_handle* second = nullptr;
  ASSERT_EQ(0, libusb_open(list_[0], &second));
  ASSERT_EQ(0, libusb_detach_kernel_driver(second, 0));
  EXPECT_EQ(LIBUSB_ERROR_BUSY, libusb_claim_interface(second, 0));
  unsigned char buf[1024] = {};
  int done = 0;
  EXPECT_EQ(LIBUSB_ERROR_NOT_FOUND, libusb_bulk_transfer(second, 0x02, buf, 1024, &done, 10));
  libusb_close(second);
}

TEST_F(UsbStandInTest, VanishedDeviceGivesNoDeviceAndLeavesTheNextList) {
  OpenTerminal();
  SetFault("CHECKR40", Fault{FaultKind::Vanish, 0, 1});
  ASSERT_EQ(0, Out(kCheckR40));
  unsigned char buf[1024];
  int done = 9;
  // Gone before the transfer started (no device) or while it waited (I/O
  // error), depending on when the notice crossed the socket.
  const int first = libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 1000);
  EXPECT_TRUE(first == LIBUSB_ERROR_NO_DEVICE || first == LIBUSB_ERROR_IO) << first;
  EXPECT_EQ(0, done);
  EXPECT_EQ(LIBUSB_ERROR_NO_DEVICE, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 10));
  EXPECT_EQ(LIBUSB_ERROR_NO_DEVICE, Out(kCheckR40));

  libusb_device** again = nullptr;
  EXPECT_EQ(0, libusb_get_device_list(nullptr, &again));
  libusb_free_device_list(again, 1);
  EXPECT_EQ(1, libusb_get_device_list(nullptr, &again));
  libusb_free_device_list(again, 1);
}

// As the kernel does it: the transfer waiting when the device goes fails
// with an I/O error, the ones after it find no device.
TEST_F(UsbStandInTest, PendingTransferAtTheUnplugGetsAnIoError) {
  OpenTerminal();
  tlxsim::Customer c = terminal().GetCustomer();
  c.pin = tlxsim::Answer{true, 150, "1234"};
  SetCustomer(c);
  SetFault("PIN", Fault{FaultKind::Vanish, 0, 1});
  ASSERT_EQ(0, Out("\x82"));
  unsigned char buf[1024];
  int done = 9;
  EXPECT_EQ(LIBUSB_ERROR_IO, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 3000));
  EXPECT_EQ(0, done);
  EXPECT_EQ(LIBUSB_ERROR_NO_DEVICE, libusb_bulk_transfer(handle_, 0x81, buf, 1024, &done, 10));
}

// Answers cut as the gadget cuts them: a transfer ends when it is full or
// at a short packet; one packet of 512 bytes without a zero-length packet
// leaves a 1024-byte transfer waiting its timeout, with the 512 bytes.
class UsbStandInShapes : public tlxsim::SimTest,
                         public ::testing::WithParamInterface<tlxsim::AnswerShape> {
 protected:
  UsbStandInShapes() { options_.gadget.shape = GetParam(); }
};

TEST_P(UsbStandInShapes, TransferEndsAsOnTheBus) {
  ASSERT_EQ(0, libusb_init(nullptr));
  libusb_device** list = nullptr;
  ASSERT_EQ(1, libusb_get_device_list(nullptr, &list));
  libusb_device_handle* h = nullptr;
  ASSERT_EQ(0, libusb_open(list[0], &h));
  libusb_detach_kernel_driver(h, 0);
  ASSERT_EQ(0, libusb_claim_interface(h, 0));
  unsigned char report[1024] = {};
  std::memcpy(report, kCheckR40.data(), kCheckR40.size());
  int done = 0;
  ASSERT_EQ(0, libusb_bulk_transfer(h, 0x02, report, 1024, &done, 1000));
  unsigned char buf[1024];
  const auto t0 = std::chrono::steady_clock::now();
  const int rc = libusb_bulk_transfer(h, 0x81, buf, 1024, &done, 100);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  EXPECT_EQ(kAck, std::string(reinterpret_cast<char*>(buf), 3));
  switch (GetParam()) {
    case tlxsim::AnswerShape::Short:
      EXPECT_EQ(0, rc);
      EXPECT_EQ(3, done);
      break;
    case tlxsim::AnswerShape::Padded:
      EXPECT_EQ(0, rc);
      EXPECT_EQ(1024, done);
      break;
    case tlxsim::AnswerShape::Packet:
      EXPECT_EQ(LIBUSB_ERROR_TIMEOUT, rc);
      EXPECT_EQ(512, done);
      EXPECT_GE(ms, 95);
      break;
  }
  libusb_close(h);
  libusb_free_device_list(list, 1);
}

INSTANTIATE_TEST_SUITE_P(Shapes, UsbStandInShapes,
                         ::testing::Values(tlxsim::AnswerShape::Short, tlxsim::AnswerShape::Padded,
                                           tlxsim::AnswerShape::Packet),
                         [](const ::testing::TestParamInfo<tlxsim::AnswerShape>& info) {
                           return std::string(tlxsim::AnswerShapeName(info.param));
                         });

TEST(UsbStandInWithoutTerminal, ListIsEmptyWhenNoTerminalRuns) {
  ::unsetenv("TLX_SIM_USB_SOCKET");
  libusb_device** list = nullptr;
  EXPECT_EQ(0, libusb_get_device_list(nullptr, &list));
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(nullptr, list[0]);
  libusb_free_device_list(list, 1);
  ::setenv("TLX_SIM_USB_SOCKET", "/nonexistent/usb.sock", 1);
  EXPECT_EQ(0, libusb_get_device_list(nullptr, &list));
  libusb_free_device_list(list, 1);
  ::unsetenv("TLX_SIM_USB_SOCKET");
}

}  // namespace
