#include "GadgetTest.h"

#include <unistd.h>

#include "GadgetConfig.h"

namespace tlxtest {

double MsSince(SteadyClock::time_point t0) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
}

std::string GadgetUnavailable() {
  std::string why;
  if (::geteuid() != 0) return "not root";
  if (!tlxsim::GadgetConfig::Available(&why)) return why;
  return {};
}

tlxsim::VirtualTerminalOptions GadgetOptions(uint16_t vendorId, uint16_t productId,
                                             tlxsim::AnswerShape shape) {
  tlxsim::VirtualTerminalOptions o;
  o.usbFace = tlxsim::UsbFace::Gadget;
  o.serial = false;
  o.vendorId = vendorId;
  o.productId = productId;
  o.gadget.shape = shape;
  return o;
}

void GadgetTest::SetUp() {
  TLX_NEED_GADGET();
  terminal_ = std::make_unique<tlxsim::VirtualTerminal>(Options());
  terminal_->Start();
}

void GadgetTest::TearDown() {
  if (terminal_) terminal_->Stop();
}

RawDevice::RawDevice(uint16_t vendorId, uint16_t productId) {
  if (libusb_init(&ctx_) != 0) {
    ctx_ = nullptr;
    return;
  }
  handle_ = libusb_open_device_with_vid_pid(ctx_, vendorId, productId);
  if (handle_ == nullptr) return;
  if (libusb_kernel_driver_active(handle_, 0) == 1) libusb_detach_kernel_driver(handle_, 0);
  if (libusb_claim_interface(handle_, 0) != 0) {
    libusb_close(handle_);
    handle_ = nullptr;
  }
}

RawDevice::~RawDevice() {
  if (handle_ != nullptr) {
    libusb_release_interface(handle_, 0);
    libusb_close(handle_);
  }
  if (ctx_ != nullptr) libusb_exit(ctx_);
}

int RawDevice::In(unsigned char* buf, int length, unsigned timeoutMs, int* transferred,
                  double* ms) {
  const SteadyClock::time_point t0 = SteadyClock::now();
  *transferred = 0;
  const int rc = libusb_bulk_transfer(handle_, 0x81, buf, length, transferred, timeoutMs);
  *ms = MsSince(t0);
  return rc;
}

int RawDevice::Out(const std::string& bytes, unsigned timeoutMs) {
  std::string report = bytes;
  report.resize(1024, '\0');
  int transferred = 0;
  return libusb_bulk_transfer(handle_, 0x02, reinterpret_cast<unsigned char*>(&report[0]), 1024,
                              &transferred, timeoutMs);
}

}  // namespace tlxtest
