#include "fake_serial.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termio.h>
#include <unistd.h>

#include <cstring>
#include <set>

extern "C" {
int __real_open(const char* path, int flags, ...);
ssize_t __real_read(int fd, void* buf, size_t n);
ssize_t __real_write(int fd, const void* buf, size_t n);
int __real_ioctl(int fd, unsigned long request, ...);
int __real_close(int fd);
}

namespace {

std::string g_devicePath;   // the path of port kFakeSerialPort
std::string g_backingFile;  // what its descriptors really are
std::set<int> g_fds;        // descriptors of the double now open
std::vector<std::string> g_replies;
size_t g_next = 0;
std::string g_readable;  // released, not yet read
size_t g_piece = 0;
size_t g_written = 0;
bool g_wroteSinceOpen = false;

bool IsChannelSequence(const char* p, size_t n) { return n == 3 && p[0] == 0x1b && p[1] == '%'; }

}  // namespace

namespace fakeserial {

void Install() {
  if (!g_devicePath.empty()) return;
  char dir[] = "/tmp/tlx-fuzz-serial-XXXXXX";
  const char* made = mkdtemp(dir);
  const std::string base = made != nullptr ? made : "/tmp";
  g_backingFile = base + "/line";
  const int fd = __real_open(g_backingFile.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) __real_close(fd);
  g_devicePath = base + "/ttyS0";
  setenv("TLX_SERIAL_PATH", (base + "/ttyS%d").c_str(), 1);
}

void SetReplies(const std::vector<std::string>& replies, size_t piece) {
  g_replies = replies;
  g_next = 0;
  g_readable.clear();
  g_piece = piece;
  g_written = 0;
}

size_t BytesWritten() { return g_written; }

}  // namespace fakeserial

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list ap;
    va_start(ap, flags);
    mode = static_cast<mode_t>(va_arg(ap, int));
    va_end(ap);
  }
  if (path == nullptr || g_devicePath.empty() || g_devicePath != path)
    return __real_open(path, flags, mode);
  const int fd = __real_open(g_backingFile.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    g_fds.insert(fd);
    g_wroteSinceOpen = false;
  }
  return fd;
}

ssize_t __wrap_read(int fd, void* buf, size_t n) {
  if (g_fds.count(fd) == 0) return __real_read(fd, buf, n);
  if (g_readable.empty()) {
    // Quiet while the host drains the line after opening it; once it has
    // sent a command, an answer that is not there will never come.
    if (!g_wroteSinceOpen && g_next < g_replies.size()) return 0;
    errno = EIO;
    return -1;
  }
  size_t give = g_piece > 0 && g_piece < n ? g_piece : n;
  if (give > g_readable.size()) give = g_readable.size();
  std::memcpy(buf, g_readable.data(), give);
  g_readable.erase(0, give);
  return static_cast<ssize_t>(give);
}

ssize_t __wrap_write(int fd, const void* buf, size_t n) {
  if (g_fds.count(fd) == 0) return __real_write(fd, buf, n);
  g_written += n;
  if (!IsChannelSequence(static_cast<const char*>(buf), n)) {
    g_wroteSinceOpen = true;
    if (g_next < g_replies.size()) g_readable += g_replies[g_next++];
  }
  return static_cast<ssize_t>(n);
}

int __wrap_close(int fd) {
  g_fds.erase(fd);
  return __real_close(fd);
}

int __wrap_ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (g_fds.count(fd) == 0) return __real_ioctl(fd, request, arg);
  if (request == TCGETA && arg != nullptr) {
    std::memset(arg, 0, sizeof(termio));
    static_cast<termio*>(arg)->c_cflag = B9600 | CS8 | CREAD | CLOCAL;
  }
  return 0;
}

}  // extern "C"
