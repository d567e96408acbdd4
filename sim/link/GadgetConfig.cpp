#include "GadgetConfig.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tlxsim {

namespace {

constexpr const char* kNamePrefix = "tlxsim-";
std::atomic<int> g_serial{0};

std::string Hex4(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04x", v);
  return buf;
}

// Writes a configfs attribute; false with errno set.
bool WriteAttr(const std::string& path, const std::string& value) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = ::write(fd, value.data(), value.size());
  int err = errno;
  ::close(fd);
  errno = err;
  return n == static_cast<ssize_t>(value.size());
}

std::string ReadAttr(const std::string& path) {
  char buf[128] = {};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  std::string s(buf, n > 0 ? static_cast<size_t>(n) : 0);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return names;
  while (dirent* e = ::readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// Takes a gadget tree down from its root: unbind, links out of the
// configurations, then the directories from the leaves up.
void TearDown(const std::string& dir) {
  WriteAttr(dir + "/UDC", "\n");
  for (const std::string& c : Entries(dir + "/configs")) {
    const std::string config = dir + "/configs/" + c;
    for (const std::string& e : Entries(config)) {
      struct stat st {};
      if (::lstat((config + "/" + e).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink((config + "/" + e).c_str());
    }
    for (const std::string& l : Entries(config + "/strings"))
      ::rmdir((config + "/strings/" + l).c_str());
    ::rmdir(config.c_str());
  }
  for (const std::string& f : Entries(dir + "/functions"))
    ::rmdir((dir + "/functions/" + f).c_str());
  for (const std::string& l : Entries(dir + "/strings")) ::rmdir((dir + "/strings/" + l).c_str());
  ::rmdir(dir.c_str());
}

}  // namespace

GadgetConfig::GadgetConfig(uint16_t vendorId, uint16_t productId)
    : vendorId_(vendorId), productId_(productId) {
  const std::string id = std::to_string(::getpid()) + "-" + std::to_string(g_serial++);
  name_ = kNamePrefix + id;
  instance_ = "tlx" + id;
  dir_ = std::string(kGadgetRoot) + "/" + name_;
}

GadgetConfig::~GadgetConfig() { Remove(); }

std::vector<std::string> GadgetConfig::Controllers() { return Entries("/sys/class/udc"); }

bool GadgetConfig::Available(std::string* why) {
  struct stat st {};
  if (::stat(kGadgetRoot, &st) != 0) {
    *why = std::string(kGadgetRoot) + " missing (configfs, libcomposite)";
    return false;
  }
  if (Controllers().empty()) {
    *why = "no USB device controller in /sys/class/udc";
    return false;
  }
  return true;
}

void GadgetConfig::RemoveStale() {
  for (const std::string& name : Entries(kGadgetRoot)) {
    if (name.rfind(kNamePrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::strlen(kNamePrefix), nullptr, 10);
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string dir = std::string(kGadgetRoot) + "/" + name;
    WriteAttr(dir + "/UDC", "\n");
    // Its FunctionFS instance may still be mounted where the process left it.
    const std::string instance = "tlx" + name.substr(std::strlen(kNamePrefix));
    std::ifstream mounts("/proc/self/mounts");
    std::string source, target, type, rest;
    while (mounts >> source >> target >> type && std::getline(mounts, rest))
      if (type == "functionfs" && source == instance) ::umount2(target.c_str(), MNT_DETACH);
    TearDown(dir);
  }
}

void GadgetConfig::Create(const std::string& mountDir) {
  auto mk = [this](const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) throw std::runtime_error(Reason("cannot create " + path));
    made_.push_back(path);
  };
  auto attr = [](const std::string& path, const std::string& value) {
    if (!WriteAttr(path, value)) throw std::runtime_error(Reason("cannot write " + path));
  };
  try {
    mk(dir_);
    attr(dir_ + "/idVendor", Hex4(vendorId_));
    attr(dir_ + "/idProduct", Hex4(productId_));
    attr(dir_ + "/bcdDevice", "0x0100");
    attr(dir_ + "/bcdUSB", "0x0200");
    mk(dir_ + "/strings/0x409");
    attr(dir_ + "/strings/0x409/manufacturer", "TLX");
    attr(dir_ + "/strings/0x409/product", "TLX virtual counter terminal");
    attr(dir_ + "/strings/0x409/serialnumber", instance_);
    mk(dir_ + "/configs/c.1");
    attr(dir_ + "/configs/c.1/MaxPower", "100");
    mk(dir_ + "/configs/c.1/strings/0x409");
    attr(dir_ + "/configs/c.1/strings/0x409/configuration", "HID");
    const std::string function = dir_ + "/functions/ffs." + instance_;
    mk(function);
    const std::string link = dir_ + "/configs/c.1/ffs." + instance_;
    if (::symlink(function.c_str(), link.c_str()) != 0)
      throw std::runtime_error(Reason("cannot link " + link));
    links_.push_back(link);
    mountDir_ = mountDir;
    if (::mkdir(mountDir_.c_str(), 0700) == 0)
      madeMountDir_ = true;
    else if (errno != EEXIST)
      throw std::runtime_error(Reason("cannot create " + mountDir_));
    if (::mount(instance_.c_str(), mountDir_.c_str(), "functionfs", 0, nullptr) != 0)
      throw std::runtime_error(Reason("cannot mount functionfs at " + mountDir_));
    mounted_ = true;
  } catch (...) {
    Remove();
    throw;
  }
}

bool GadgetConfig::WriteUdc(const std::string& value, std::string* error) {
  if (WriteAttr(dir_ + "/UDC", value + "\n")) return true;
  if (error != nullptr) *error = Reason("cannot bind to " + value);
  return false;
}

bool GadgetConfig::Bind(const std::string& udc, std::string* error) {
  if (!boundUdc_.empty()) return true;
  std::vector<std::string> candidates = udc.empty() ? Controllers() : std::vector<std::string>{udc};
  if (candidates.empty()) {
    *error = "no USB device controller in /sys/class/udc";
    return false;
  }
  for (const std::string& c : candidates) {
    if (WriteUdc(c, error)) {
      boundUdc_ = lastUdc_ = c;
      return true;
    }
  }
  return false;
}

void GadgetConfig::Unbind() {
  if (boundUdc_.empty()) return;
  WriteAttr(dir_ + "/UDC", "\n");
  boundUdc_.clear();
}

std::string GadgetConfig::CurrentSpeed() const {
  return lastUdc_.empty() ? std::string()
                          : ReadAttr("/sys/class/udc/" + lastUdc_ + "/current_speed");
}

std::string GadgetConfig::HostDevice() const {
  const std::string root = "/sys/bus/usb/devices/";
  for (const std::string& e : Entries(root)) {
    if (e.find(':') != std::string::npos) continue;  // interfaces
    if (ReadAttr(root + e + "/serial") == instance_ &&
        ReadAttr(root + e + "/idVendor") == Hex4(vendorId_).substr(2))
      return root + e;
  }
  return {};
}

void GadgetConfig::Remove() {
  Unbind();
  if (mounted_) {
    // The endpoint files must be closed by now; a busy mount is detached.
    if (::umount(mountDir_.c_str()) != 0) ::umount2(mountDir_.c_str(), MNT_DETACH);
    mounted_ = false;
  }
  if (madeMountDir_) ::rmdir(mountDir_.c_str());
  madeMountDir_ = false;
  for (auto it = links_.rbegin(); it != links_.rend(); ++it) ::unlink(it->c_str());
  links_.clear();
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
    // mkdir of "strings/0x409" made only the leaf; configfs made the parent.
    ::rmdir(it->c_str());
  }
  made_.clear();
}

}  // namespace tlxsim
