// The terminal's USB face on a real USB device controller: a configfs
// gadget with one FunctionFS function (interface 0 of class HID, bulk IN
// 0x81, bulk OUT 0x02), served from user space. Every OUT transfer goes to
// the engine as it came (1024-byte reports from libtlxdev); the engine's
// answers go out as IN transfers cut by the chosen answer shape. A HID
// report-descriptor request on ep0 gets the report descriptor.
//
// On a board with a USB device port it makes the board a terminal that
// plugs into any desktop; with dummy_hcd (a software host and device
// controller in one kernel) the host side is the same kernel's USB stack,
// so libusb meets real usbfs transfers.
//
// A hangup chunk unplugs the device: the gadget is unbound from its
// controller (the host sees a disconnect) and, unless replugMs is negative,
// bound again replugMs later. Nothing ever blocks the link thread on the
// host: endpoint I/O goes through kernel AIO.
#ifndef TLXSIM_GADGETLINK_H
#define TLXSIM_GADGETLINK_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <linux/usb/ch9.h>

#include "AnswerShape.h"
#include "Engine.h"
#include "Wakeup.h"

namespace tlxsim {

class GadgetConfig;
class KernelAio;

struct GadgetOptions {
  std::string udc;  // empty: the first free controller in /sys/class/udc
  AnswerShape shape = AnswerShape::Padded;
  int replugMs = 200;  // after a hangup chunk; negative: stay unplugged
};

class GadgetLink {
 public:
  GadgetLink(Engine& engine, std::string mountDir, uint16_t vendorId, uint16_t productId,
             GadgetOptions options);
  ~GadgetLink();
  GadgetLink(const GadgetLink&) = delete;
  GadgetLink& operator=(const GadgetLink&) = delete;

  // Creates the gadget, writes its descriptors, binds it and starts the
  // thread. Throws std::runtime_error with the reason; nothing is left.
  void Start();
  // Ends the thread, unbinds and removes the gadget. Safe to call twice.
  void Stop();
  void Wake() { wake_.Signal(); }

  // Unplugs (unbinds) the device until Replug(); from any thread.
  void Unplug();
  void Replug();
  // True while the host has the device configured (FunctionFS ENABLE).
  bool Configured() const { return configured_; }
  // Waits up to ms for Configured().
  bool WaitConfigured(int ms) const;

  // Waits up to ms until the host has the device configured and, where
  // udevd runs, until udev has announced it (libusb learns of devices
  // through udev's events).
  bool WaitHostSees(int ms) const;

  // The host's device in /sys/bus/usb/devices (a host in this machine),
  // empty when it has none.
  std::string HostDevice() const;

  int Vanishes() const { return vanishes_; }
  // When the device was last unplugged (epoch: never).
  Clock::time_point LastUnplug() const {
    return Clock::time_point(Clock::duration(lastUnplug_.load()));
  }
  std::string Udc() const;

 private:
  void Run();
  void OpenEndpoints();
  void HandleEp0();
  void HandleSetup(const ::usb_ctrlrequest& setup);
  void Enabled();
  void Disabled();
  void Completions();
  void PostReads();
  void Deliver(const Chunk& c);
  void SendPending();
  void DoUnplug(bool replug);
  void DoReplug();

  Engine& engine_;
  std::string mountDir_;
  uint16_t vendorId_;
  uint16_t productId_;
  GadgetOptions options_;
  std::unique_ptr<GadgetConfig> config_;
  std::unique_ptr<KernelAio> aio_;
  int ep0_ = -1, epIn_ = -1, epOut_ = -1;
  size_t maxPacket_ = 512;
  std::deque<std::string> pending_;  // IN transfers not yet given to the kernel
  size_t pendingBytes_ = 0;
  Clock::time_point replugAt_ = Clock::time_point::max();
  Wakeup wake_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> configured_{false};
  std::atomic<int> vanishes_{0};
  std::atomic<Clock::rep> lastUnplug_{0};
  mutable std::mutex lock_;
  std::deque<bool> plugRequests_;  // true: plug in, false: unplug; in order
  std::string udc_;
  std::thread thread_;
};

}  // namespace tlxsim

#endif
