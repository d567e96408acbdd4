// The cross-process lock of a serial port for a whole command: an
// exclusive flock on the device itself, held on a descriptor of its own
// from the command's first step to its return. Another process that uses
// this library (or any program that flocks the device) is refused at once
// instead of slipping its bytes between two steps of a command. The
// exchanges' own opens see the lock as theirs.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "transport/serial_lock.h"
#include "transport/CDevice.h"
#include "util/util.h"

namespace {

int g_lockFd = -1;
unsigned g_lockDevMajor = 0;
unsigned g_lockDevMinor = 0;
unsigned long long g_lockIno = 0;

}  // namespace

SerialLockResult LockSerialPort(int port) {
  UnlockSerialPort();
  char path[256];
  if (!SerialDevicePath(port, path, sizeof path)) return kSerialLockNoDevice;
  // Read-only and non-blocking: the descriptor only carries the lock, and
  // opening it must neither wait for a carrier nor make the tty ours.
  const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kSerialLockNoDevice;
  struct statx st;
  if (!StatusOf(fd, &st)) {
    ::close(fd);
    return kSerialLockNoDevice;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? kSerialLockBusy : kSerialLockNoDevice;
  }
  g_lockFd = fd;
  g_lockDevMajor = st.stx_dev_major;
  g_lockDevMinor = st.stx_dev_minor;
  g_lockIno = st.stx_ino;
  return kSerialLocked;
}

void UnlockSerialPort() {
  if (g_lockFd < 0) return;
  ::close(g_lockFd);  // releases the lock
  g_lockFd = -1;
}

bool SerialLockHeldFor(int fd) {
  if (g_lockFd < 0) return false;
  struct statx st;
  return StatusOf(fd, &st) && st.stx_dev_major == g_lockDevMajor &&
         st.stx_dev_minor == g_lockDevMinor && st.stx_ino == g_lockIno;
}
