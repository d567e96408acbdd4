// Tests through a real kernel's USB stack: the virtual terminal serves a
// FunctionFS gadget on a USB device controller (dummy_hcd's dummy_udc in a
// test guest), and the host side is the same kernel's USB core, usbfs and
// the real libusb. Where no gadget can be made (no configfs usb_gadget, no
// controller, not root) every test is skipped with the reason.
#ifndef TLX_TESTS_GADGETTEST_H
#define TLX_TESTS_GADGETTEST_H

#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <memory>
#include <string>

#include "VirtualTerminal.h"

namespace tlxtest {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds since t0.
double MsSince(SteadyClock::time_point t0);

// Why gadgets cannot be made here; empty when they can.
std::string GadgetUnavailable();

// Options of a terminal on a gadget (no serial line).
tlxsim::VirtualTerminalOptions GadgetOptions(
    uint16_t vendorId = 0x2FB0, uint16_t productId = 0x0101,
    tlxsim::AnswerShape shape = tlxsim::AnswerShape::Padded);

class GadgetTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The terminal SetUp starts (a fixture may serve other options): one
  // gadget per test, made before this process's libusb looks, since
  // without udevd libusb never hears of a gadget made later.
  virtual tlxsim::VirtualTerminalOptions Options() const { return GadgetOptions(); }
  tlxsim::VirtualTerminal& terminal() { return *terminal_; }

  std::unique_ptr<tlxsim::VirtualTerminal> terminal_;
};

// A libusb context of the test's own with the terminal opened and claimed,
// for transfers the library never makes.
class RawDevice {
 public:
  explicit RawDevice(uint16_t vendorId = 0x2FB0, uint16_t productId = 0x0101);
  ~RawDevice();
  bool Open() const { return handle_ != nullptr; }
  libusb_device_handle* handle() { return handle_; }
  // One bulk transfer; returns libusb's code, *transferred and *ms filled.
  int In(unsigned char* buf, int length, unsigned timeoutMs, int* transferred, double* ms);
  int Out(const std::string& report, unsigned timeoutMs);

 private:
  libusb_context* ctx_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
};

}  // namespace tlxtest

#define TLX_NEED_GADGET()                                       \
  do {                                                          \
    const std::string why = ::tlxtest::GadgetUnavailable();     \
    if (!why.empty()) GTEST_SKIP() << "no USB gadget: " << why; \
  } while (0)

#endif
