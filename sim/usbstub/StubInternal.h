// Internal state of the libusb stand-in: the opaque libusb types are defined
// here, since <libusb.h> only declares them.
#ifndef TLXSIM_STUBINTERNAL_H
#define TLXSIM_STUBINTERNAL_H

#include <libusb.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

struct libusb_context {
  int refs = 1;
};

struct libusb_device {
  std::atomic<int> refs{1};
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

struct libusb_device_handle {
  int fd = -1;  // connection to the simulator's HID server
  libusb_device* device = nullptr;
  bool claimed = false;
  bool kernelDriverAttached = true;   // a HID device starts bound to usbhid
  bool gone = false;                  // the device vanished
  bool paced = false;                 // OUT transfers end when the terminal says so
  uint64_t outSent = 0, outDone = 0;  // paced: OUT reports sent / completions read
  // IN packets already read off the socket (512 bytes each, the last of a
  // piece shorter; an empty one is a zero-length packet).
  std::deque<std::string> packets;
  // A chattering device: this packet comes again whenever nothing else
  // waits, however fast the host reads (empty: not chattering).
  std::string chatter;
  std::mutex lock;
};

namespace tlxsim {
namespace stub {

// Connects to the simulator's socket (path from the environment); -1 when
// no simulator is reachable.
int ConnectToSimulator();

}  // namespace stub
}  // namespace tlxsim

#endif
