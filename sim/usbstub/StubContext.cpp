// Library context, options and error names of the libusb stand-in.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "StubInternal.h"
#include "UsbSimProtocol.h"

namespace {
std::mutex g_contextLock;
int g_defaultRefs = 0;
std::once_flag g_announced;

// Says once per process, on standard error, that this libusb is the virtual
// terminal's stand-in: a shell that has it on its library path by mistake
// would otherwise see no real USB device without knowing why.
void Announce() {
  std::call_once(g_announced, [] {
    const char* socket = std::getenv(tlxsim::usbproto::kSocketEnv);
    std::string line = std::string(tlxsim::usbproto::kStandInNotice) + " (" +
                       (socket != nullptr && *socket != '\0' ? socket : "no socket set") + ")\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
  });
}
}  // namespace

namespace tlxsim {
namespace stub {

int ConnectToSimulator() {
  const char* path = std::getenv(usbproto::kSocketEnv);
  if (path == nullptr || *path == '\0') return -1;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof addr.sun_path) return -1;
  std::strcpy(addr.sun_path, path);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace stub
}  // namespace tlxsim

extern "C" {

// Not a libusb function: tells a program that the libusb it has loaded is
// this stand-in, and the socket of the virtual terminal it reaches (empty
// when none is set). Real libusb has no such symbol.
const char* libusb_tlxsim_stand_in(void) {
  const char* socket = std::getenv(tlxsim::usbproto::kSocketEnv);
  return socket != nullptr ? socket : "";
}

int LIBUSB_CALL libusb_init(libusb_context** ctx) {
  Announce();
  std::lock_guard<std::mutex> g(g_contextLock);
  if (ctx == nullptr) {
    ++g_defaultRefs;
    return LIBUSB_SUCCESS;
  }
  *ctx = new (std::nothrow) libusb_context;
  return *ctx ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_MEM;
}

void LIBUSB_CALL libusb_exit(libusb_context* ctx) {
  std::lock_guard<std::mutex> g(g_contextLock);
  if (ctx == nullptr) {
    if (g_defaultRefs > 0) --g_defaultRefs;
    return;
  }
  delete ctx;
}

int LIBUSB_CALL libusb_set_option(libusb_context*, enum libusb_option, ...) {
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_set_debug(libusb_context*, int) {}

const char* LIBUSB_CALL libusb_error_name(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
      return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
      return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
      return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
      return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
      return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
      return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
      return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
      return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
      return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
      return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
      return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return "LIBUSB_ERROR_NOT_SUPPORTED";
    case LIBUSB_ERROR_OTHER:
      return "LIBUSB_ERROR_OTHER";
    default:
      return "**UNKNOWN**";
  }
}

const char* LIBUSB_CALL libusb_strerror(int code) { return libusb_error_name(code); }

}  // extern "C"
