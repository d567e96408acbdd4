#include "VirtualTerminalCheck.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// Inside dir (a path that starts with dir and a slash).
bool Inside(const std::string& path, const std::string& dir) {
  return path.size() > dir.size() + 1 && path.compare(0, dir.size(), dir) == 0 &&
         path[dir.size()] == '/';
}

// The virtual terminal's socket as the loaded libusb reports it, when that
// libusb is the stand-in; false for a real libusb (or none loaded).
bool StandInSocket(std::string* socket) {
  void* usb = dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (usb == nullptr) return false;
  using Reporter = const char* (*)();
  auto report = reinterpret_cast<Reporter>(dlsym(usb, "libusb_tlxsim_stand_in"));
  if (report != nullptr) *socket = report();
  dlclose(usb);
  return report != nullptr;
}

}  // namespace

bool OnVirtualTerminal(int port, QString* why) {
  const char* env = std::getenv("TLX_VIRTUAL_TERMINAL");
  const std::string dir = env != nullptr ? env : "";
  struct stat st;
  if (dir.empty() || dir[0] != '/' || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != ::geteuid()) {
    *why = QStringLiteral(
        "no virtual terminal of this user's is running "
        "(TLX_VIRTUAL_TERMINAL); start the demo with --sim");
    return false;
  }
  if (port == 0) {
    std::string socket;
    if (!StandInSocket(&socket)) {
      *why = QStringLiteral(
          "port 0 reaches real USB devices, not the virtual terminal's "
          "libusb stand-in");
      return false;
    }
    if (!Inside(socket, dir)) {
      *why = QStringLiteral("port 0 leads to another virtual terminal than %1")
                 .arg(QString::fromStdString(dir));
      return false;
    }
    return true;
  }
  const char* pattern = std::getenv("TLX_SERIAL_PATH");
  if (port < 0 || pattern == nullptr || !Inside(pattern, dir)) {
    *why = QStringLiteral("port %1 is not the virtual terminal's serial line").arg(port);
    return false;
  }
  return true;
}
