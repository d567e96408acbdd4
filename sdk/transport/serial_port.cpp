// Serial link of CDevice: a tty opened read-write, set to raw 8N1 with the
// System V termio requests (TCGETA / TCSETAF), read with a 0.1 s inter-byte
// timeout and polled until the caller's end condition holds.
//
// The descriptor is held under a non-blocking exclusive flock, so a second
// process using this library on the same port is refused instead of
// interleaving its bytes with ours; while a command holds the port's lock
// for all its steps (serial_lock.cpp), that lock counts as this open's. The
// line settings found at open are put back at close.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "transport/CDevice.h"
#include "transport/cancel_source.h"
#include "transport/last_error.h"
#include "transport/monotonic_seconds.h"
#include "transport/serial_lock.h"
#include "util/util.h"

namespace {

// Settings of the tty as found when it was opened; restored by Close.
termio savedLineSettings;
// Descriptor the saved settings belong to (-1: none). A later SetComParam on
// the same descriptor must not overwrite them with our own raw settings.
int savedForFd = -1;

struct RateCode {
  long rate;
  unsigned short code;
};

const RateCode kRates[] = {
    {300, B300},     {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

unsigned short RateToCode(long rate) {
  for (const RateCode& r : kRates)
    if (r.rate == rate) return r.code;
  return B9600;
}

int IoctlRetry(int fd, unsigned long request, termio* t) {
  int rc;
  do {
    rc = ioctl(fd, request, t);
  } while (rc == -1 && errno == EINTR);
  return rc;
}

ssize_t ReadRetry(int fd, void* buf, size_t n) {
  ssize_t got;
  do {
    got = ::read(fd, buf, n);
  } while (got < 0 && errno == EINTR);
  return got;
}

// True when the line has hung up or failed: poll reports POLLHUP, POLLERR
// or POLLNVAL. A quiet line (read() gave 0 after the inter-byte timeout)
// reports none of them.
bool LineDown(int fd) {
  pollfd p = {fd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, 0);
  } while (rc < 0 && errno == EINTR);
  return rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

bool CDevice::OpenCom(int portNo, int baud, int dataBits, int opt2, int opt3) {
  if (fd.load() != -1) CloseCom();

  char path[256];
  if (!SerialDevicePath(portNo, path, sizeof path)) {
    tlx::SetLastError("port %d: the serial device name does not fit (TLX_SERIAL_PATH)", portNo);
    return false;
  }

  // O_NONBLOCK only for the open itself, so that a line without carrier
  // cannot hang it; it is cleared once CLOCAL is set. O_NOCTTY keeps the
  // tty from becoming our controlling terminal.
  const int newFd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (newFd < 0) {
    tlx::SetSerialOpenError(path, errno);
    return false;
  }

  const int locked = flock(newFd, LOCK_EX | LOCK_NB);
  const int lockErr = errno;
  if (locked != 0 && !SerialLockHeldFor(newFd)) {
    if (lockErr == EWOULDBLOCK) tlx::SetSerialBusyError(path);
    else tlx::SetSerialOpenError(path, lockErr);
    ::close(newFd);
    return false;
  }
  fd = newFd;

  if (!SetComParam(baud, dataBits, opt2, opt3)) {
    tlx::SetSerialOpenError(path, errno);
    savedForFd = -1;
    ::close(newFd);  // releases the lock as well
    fd = -1;
    return false;
  }

  const int flags = fcntl(newFd, F_GETFL);
  if (flags != -1) fcntl(newFd, F_SETFL, flags & ~O_NONBLOCK);
  tlx::NoteLink(path);
  return true;
}

bool CDevice::SetComParam(int baud, int /*dataBits*/, int /*opt2*/, int /*opt3*/) {
  const int cur = fd.load();
  if (cur == -1) return false;

  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return false;
  if (savedForFd != cur) {
    savedLineSettings = line;
    savedForFd = cur;
  }

  // Always 8 data bits, no parity, one stop bit, receiver on, no modem
  // control; the option values are accepted for compatibility and ignored.
  line.c_cflag = static_cast<unsigned short>(RateToCode(baud) | CS8 | CREAD | CLOCAL);
  line.c_iflag &= static_cast<unsigned short>(~(ISTRIP | INLCR | IGNCR | ICRNL | IXON));
  line.c_oflag &= static_cast<unsigned short>(~OPOST);
  line.c_lflag &= static_cast<unsigned short>(~(ISIG | ICANON | ECHO | NOFLSH));
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 1;  // read() returns after 0.1 s without data
  return IoctlRetry(cur, TCSETAF, &line) == 0;
}

bool CDevice::SetNewBaud(unsigned long baud) {
  const int cur = fd.load();
  if (cur == -1) return false;
  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return false;
  line.c_cflag = static_cast<unsigned short>((line.c_cflag & ~CBAUD) |
                                             RateToCode(static_cast<long>(baud)));
  return IoctlRetry(cur, TCSETAF, &line) == 0;
}

long CDevice::GetBaud() const {
  const int cur = fd.load();
  if (cur == -1) return TLX_PORT_NOT_OPEN;
  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return TLX_PORT_BAD_TYPE;
  const unsigned short code = line.c_cflag & CBAUD;
  for (const RateCode& r : kRates)
    if (r.code == code) return r.rate;
  return TLX_PORT_BAD_TYPE;
}

long CDevice::ReadCom(char* buf, unsigned long capacity, EndConditionFn cond,
                      unsigned long timeoutMs) {
  const int cur = fd.load();
  if (cur == -1) return TLX_PORT_NOT_OPEN;
  if (buf == nullptr || capacity == 0) return TLX_PORT_BAD_ARG;
  // The count is handed to the end condition as an int.
  if (capacity > 0x7FFFFFFFUL) capacity = 0x7FFFFFFFUL;

  const long start = MonotonicSeconds();
  const unsigned long limit = timeoutMs / 1000;
  cancelRequested = false;

  unsigned long count = 0;
  while (count < capacity) {
    if (cancelRequested || CancelSourcePending()) return TLX_PORT_CANCELLED;

    const ssize_t got = ReadRetry(cur, buf + count, capacity - count);
    if (got > 0) {
      count += static_cast<unsigned long>(got);
    } else if ((got < 0 && errno != EAGAIN) || (got == 0 && LineDown(cur))) {
      // A hang-up or I/O error does not heal within the read: waiting out
      // the timeout would only keep the caller (a PIN entry: up to 1001 s).
      return TLX_PORT_GONE;
    }

    if (cond != nullptr && cond(buf, static_cast<int>(count))) return static_cast<long>(count);

    if (static_cast<unsigned long>(MonotonicSeconds() - start) > limit) return TLX_PORT_TIMEOUT;
  }
  return static_cast<long>(count);
}

long CDevice::WriteCom(const char* data, unsigned long length) {
  const int cur = fd.load();
  if (cur == -1) return TLX_PORT_NOT_OPEN;
  if (data == nullptr) return TLX_PORT_BAD_ARG;
  if (length == 0) length = std::strlen(data);

  unsigned long sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(cur, data + sent, length - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += static_cast<unsigned long>(n);
  }
  return static_cast<long>(sent);
}

void CDevice::FlushCom() {
  const int cur = fd.load();
  char scratch[1024];
  // Discard until the line is quiet for one inter-byte timeout; a peer that
  // never stops sending cannot hold us here for more than a few seconds.
  const long start = MonotonicSeconds();
  while (ReadRetry(cur, scratch, sizeof scratch) > 0) {
    if (MonotonicSeconds() - start > 2 || CancelSourcePending()) break;
  }
  SecureWipe(scratch, sizeof scratch);  // stale replies may hold PIN bytes
}

void CDevice::CloseCom() {
  const int cur = fd.load();
  if (savedForFd == cur) IoctlRetry(cur, TCSETAF, &savedLineSettings);
  savedForFd = -1;
  flock(cur, LOCK_UN);
  fd = -1;
  ::close(cur);
}
