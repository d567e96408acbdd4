// A USB gadget in configfs (/sys/kernel/config/usb_gadget/<name>) with one
// configuration holding one FunctionFS function, and its binding to a USB
// device controller (UDC). Needs root, configfs mounted and the kernel's
// libcomposite and usb_f_fs (and a UDC: a board's device port, or
// dummy_hcd's dummy_udc).
#ifndef TLXSIM_GADGETCONFIG_H
#define TLXSIM_GADGETCONFIG_H

#include <cstdint>
#include <string>
#include <vector>

namespace tlxsim {

class GadgetConfig {
 public:
  static constexpr const char* kGadgetRoot = "/sys/kernel/config/usb_gadget";

  GadgetConfig(uint16_t vendorId, uint16_t productId);
  ~GadgetConfig();
  GadgetConfig(const GadgetConfig&) = delete;
  GadgetConfig& operator=(const GadgetConfig&) = delete;

  // Creates the gadget's directories and mounts its FunctionFS instance at
  // mountDir (created). Throws std::runtime_error with the system's reason;
  // what was made is removed again.
  void Create(const std::string& mountDir);
  // Binds to the named UDC, or (empty name) to the first free one in
  // /sys/class/udc. False with *error when none takes the gadget.
  bool Bind(const std::string& udc, std::string* error);
  // Unbinds (the host sees the device unplugged). Harmless when unbound.
  void Unbind();
  bool Bound() const { return !boundUdc_.empty(); }
  // Unbinds, unmounts and removes every directory Create made.
  void Remove();

  const std::string& MountDir() const { return mountDir_; }
  // The UDC bound to now, else the last one bound to.
  const std::string& Udc() const { return lastUdc_; }
  // "full-speed", "high-speed", ... as the UDC reports the connection.
  std::string CurrentSpeed() const;

  // The host's view of this gadget (same kernel, e.g. dummy_hcd): its
  // device in /sys/bus/usb/devices, found by the gadget's serial number;
  // empty when the host has not enumerated it.
  std::string HostDevice() const;
  // The serial number string the gadget reports.
  const std::string& Serial() const { return instance_; }

  // UDC names in /sys/class/udc, sorted.
  static std::vector<std::string> Controllers();
  // True when gadgets can be made here: configfs with usb_gadget mounted and
  // at least one UDC. Otherwise false with the reason.
  static bool Available(std::string* why);
  // Removes gadgets of this program whose process is gone.
  static void RemoveStale();

 private:
  bool WriteUdc(const std::string& value, std::string* error);

  uint16_t vendorId_;
  uint16_t productId_;
  std::string name_;      // gadget directory name
  std::string instance_;  // FunctionFS instance (mount source)
  std::string dir_;
  std::string mountDir_;
  bool mounted_ = false;
  bool madeMountDir_ = false;
  std::vector<std::string> made_;   // directories, in creation order
  std::vector<std::string> links_;  // symlinks
  std::string boundUdc_;
  std::string lastUdc_;
};

}  // namespace tlxsim

#endif
