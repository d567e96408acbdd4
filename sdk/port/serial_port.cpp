// Serial link: a tty opened read-write, set to raw 8N1 with the System V
// termio requests (TCGETA / TCSETAF), read with a 0.1 s inter-byte timeout
// and polled until the caller's end condition holds.
//
// The descriptor is held under a non-blocking exclusive flock, so a second
// process using this library on the same port is refused instead of
// interleaving its bytes with ours. A command holds the port's lock for all
// its steps on a descriptor of its own (LockSerialPort); the exchanges'
// own opens see that lock as theirs. The line settings found at open are
// put back at close.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "port/port.h"

namespace tlx {

namespace {

// Settings of the tty as found when it was opened; restored by Close.
termio savedLineSettings;
// Descriptor the saved settings belong to (-1: none). A later SetLine on
// the same descriptor must not overwrite them with our own raw settings.
int savedForFd = -1;

struct RateCode {
  long rate;
  unsigned short code;
};

const RateCode kRates[] = {
    {300, B300},     {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
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

// ---- Device names ----

const char kDefaultPattern[] = "/dev/ttyS%d";

// True when pattern holds exactly one "%d" and no other '%' character.
// A literal "%%" is refused too: no real device name needs it.
bool IsValidPattern(const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return false;
  int conversions = 0;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (p[1] != 'd') return false;
    ++conversions;
    ++p;
  }
  return conversions == 1;
}

// ---- The command's lock ----

int g_lockFd = -1;
unsigned g_lockDevMajor = 0;
unsigned g_lockDevMinor = 0;
unsigned long long g_lockIno = 0;

bool StatusOf(int fd, struct statx* out) {
  if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, out) != 0) return false;
  return (out->stx_mask & STATX_BASIC_STATS) == STATX_BASIC_STATS;
}

// True when fd is the device that this process holds the lock of.
bool LockHeldFor(int fd) {
  if (g_lockFd < 0) return false;
  struct statx st;
  return StatusOf(fd, &st) && st.stx_dev_major == g_lockDevMajor &&
         st.stx_dev_minor == g_lockDevMinor && st.stx_ino == g_lockIno;
}

// ---- Failure texts ----

struct ErrnoName {
  int value;
  const char* name;
};

const ErrnoName kNames[] = {
    {EACCES, "EACCES"},
    {EPERM, "EPERM"},
    {ENOENT, "ENOENT"},
    {ENXIO, "ENXIO"},
    {ENODEV, "ENODEV"},
    {EBUSY, "EBUSY"},
    {EAGAIN, "EAGAIN"},
    {ENOTTY, "ENOTTY"},
    {EIO, "EIO"},
    {EINVAL, "EINVAL"},
    {EISDIR, "EISDIR"},
    {ENOTDIR, "ENOTDIR"},
    {ELOOP, "ELOOP"},
    {EMFILE, "EMFILE"},
    {ENFILE, "ENFILE"},
    {EROFS, "EROFS"},
    {EPIPE, "EPIPE"},
    {EINTR, "EINTR"},
    {ENAMETOOLONG, "ENAMETOOLONG"},
};

// "EACCES (Permission denied)"; "errno N (...)" for names not in the table.
const char* ErrnoText(int err, char* buf, int cap) {
  const char* name = nullptr;
  for (const ErrnoName& n : kNames)
    if (n.value == err) name = n.name;
  char reason[128];
  const char* r = strerror_r(err, reason, sizeof reason);
  if (name != nullptr)
    std::snprintf(buf, static_cast<size_t>(cap), "%s (%s)", name, r);
  else
    std::snprintf(buf, static_cast<size_t>(cap), "errno %d (%s)", err, r);
  return buf;
}

// Name of the group owning path ("dialout" when it cannot be told).
void GroupOf(const char* path, char* out, size_t cap) {
  std::snprintf(out, cap, "dialout");
  // statx keeps the library within the C library versions it supports.
  struct statx st;
  if (statx(AT_FDCWD, path, 0, STATX_GID, &st) != 0 || (st.stx_mask & STATX_GID) == 0) return;
  struct group gr;
  struct group* found = nullptr;
  char buf[1024];
  if (getgrgid_r(st.stx_gid, &gr, buf, sizeof buf, &found) == 0 && found != nullptr)
    std::snprintf(out, cap, "%s", found->gr_name);
}

// Failure to open the tty at path with errno err, with the hint for it.
void SetOpenError(const char* path, int err) {
  char e[160];
  ErrnoText(err, e, sizeof e);
  if (err == EACCES || err == EPERM) {
    char group[64];
    GroupOf(path, group, sizeof group);
    SetLastError(
        "%s: %s; the user needs to be in the group '%s' (sudo adduser $USER %s, "
        "then log in again)",
        path, e, group, group);
  } else if (err == ENOENT || err == ENXIO || err == ENODEV) {
    SetLastError(
        "%s: %s; no such serial device (port n is /dev/ttyS<n-1>, or "
        "TLX_SERIAL_PATH's pattern; tlxctl probe lists the ports that answer)",
        path, e);
  } else if (err == ENOTTY || err == EINVAL) {
    SetLastError("%s: %s; not a serial line", path, e);
  } else {
    SetLastError("%s: %s", path, e);
  }
}

}  // namespace

void SetSerialBusyError(const char* path) {
  SetLastError(
      "%s: EWOULDBLOCK (locked); held by another process using the terminal on this "
      "port (lsof %s or fuser %s names it)",
      path, path, path);
}

bool SerialDevicePath(int port, char* buf, int capacity) {
  if (buf == nullptr || capacity <= 0 || port < 1) return false;

  const char* pattern = std::getenv("TLX_SERIAL_PATH");
  if (!IsValidPattern(pattern)) pattern = kDefaultPattern;

  // The environment string is never used as a printf format: the number is
  // put in place of its one "%d" by hand.
  const char* conv = std::strstr(pattern, "%d");
  const size_t prefixLen = static_cast<size_t>(conv - pattern);
  const char* suffix = conv + 2;

  char number[16];
  std::snprintf(number, sizeof number, "%d", port - 1);

  const size_t total = prefixLen + std::strlen(number) + std::strlen(suffix);
  if (total + 1 > static_cast<size_t>(capacity)) return false;

  std::memcpy(buf, pattern, prefixLen);
  std::strcpy(buf + prefixLen, number);
  std::strcat(buf + prefixLen, suffix);
  return true;
}

// The lock is an exclusive flock on the device itself, held on a
// descriptor of its own from the command's first step to its return.
// Another process that uses this library (or any program that flocks the
// device) is refused at once instead of slipping its bytes between two
// steps of a command.
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

bool SerialPort::Open(int portNo, int baud) {
  if (fd_.load() != -1) Close();

  char path[256];
  if (!SerialDevicePath(portNo, path, sizeof path)) {
    SetLastError("port %d: the serial device name does not fit (TLX_SERIAL_PATH)", portNo);
    return false;
  }

  // O_NONBLOCK only for the open itself, so that a line without carrier
  // cannot hang it; it is cleared once CLOCAL is set. O_NOCTTY keeps the
  // tty from becoming our controlling terminal.
  const int newFd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (newFd < 0) {
    SetOpenError(path, errno);
    return false;
  }

  const int locked = flock(newFd, LOCK_EX | LOCK_NB);
  const int lockErr = errno;
  if (locked != 0 && !LockHeldFor(newFd)) {
    if (lockErr == EWOULDBLOCK)
      SetSerialBusyError(path);
    else
      SetOpenError(path, lockErr);
    ::close(newFd);
    return false;
  }
  fd_ = newFd;

  if (!SetLine(baud)) {
    SetOpenError(path, errno);
    savedForFd = -1;
    ::close(newFd);  // releases the lock as well
    fd_ = -1;
    return false;
  }

  const int flags = fcntl(newFd, F_GETFL);
  if (flags != -1) fcntl(newFd, F_SETFL, flags & ~O_NONBLOCK);
  NoteLink(path);
  return true;
}

bool SerialPort::SetLine(int baud) {
  const int cur = fd_.load();
  if (cur == -1) return false;

  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return false;
  if (savedForFd != cur) {
    savedLineSettings = line;
    savedForFd = cur;
  }

  // Always 8 data bits, no parity, one stop bit, receiver on, no modem
  // control.
  line.c_cflag = static_cast<unsigned short>(RateToCode(baud) | CS8 | CREAD | CLOCAL);
  line.c_iflag &= static_cast<unsigned short>(~(ISTRIP | INLCR | IGNCR | ICRNL | IXON));
  line.c_oflag &= static_cast<unsigned short>(~OPOST);
  line.c_lflag &= static_cast<unsigned short>(~(ISIG | ICANON | ECHO | NOFLSH));
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 1;  // read() returns after 0.1 s without data
  return IoctlRetry(cur, TCSETAF, &line) == 0;
}

bool SerialPort::SetRate(unsigned long baud) {
  const int cur = fd_.load();
  if (cur == -1) return false;
  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return false;
  line.c_cflag =
      static_cast<unsigned short>((line.c_cflag & ~CBAUD) | RateToCode(static_cast<long>(baud)));
  return IoctlRetry(cur, TCSETAF, &line) == 0;
}

long SerialPort::Rate() const {
  const int cur = fd_.load();
  if (cur == -1) return kPortNotOpen;
  termio line;
  if (IoctlRetry(cur, TCGETA, &line) != 0) return kPortBadType;
  const unsigned short code = line.c_cflag & CBAUD;
  for (const RateCode& r : kRates)
    if (r.code == code) return r.rate;
  return kPortBadType;
}

int SerialPort::Read(char* buf, unsigned long capacity, EndCondition until,
                     const Deadline& deadline, const CancelToken& cancel) {
  const int cur = fd_.load();
  if (cur == -1) return kPortNotOpen;
  if (buf == nullptr || capacity == 0) return kPortBadArg;
  // The count is handed to the end condition as an int.
  if (capacity > 0x7FFFFFFFUL) capacity = 0x7FFFFFFFUL;
  cancelRequested_ = false;

  unsigned long count = 0;
  while (count < capacity) {
    if (cancelRequested_ || cancel.Requested()) return kPortCancelled;

    const ssize_t got = ReadRetry(cur, buf + count, capacity - count);
    if (got > 0) {
      count += static_cast<unsigned long>(got);
    } else if ((got < 0 && errno != EAGAIN) || (got == 0 && LineDown(cur))) {
      // A hang-up or I/O error does not heal within the read: waiting out
      // the timeout would only keep the caller (a PIN entry: up to 1001 s).
      return kPortGone;
    }

    if (until != nullptr && until(buf, static_cast<int>(count))) return static_cast<int>(count);
    if (deadline.Passed()) return kPortTimeout;
  }
  return static_cast<int>(count);
}

long SerialPort::Write(const char* data, unsigned long length) {
  const int cur = fd_.load();
  if (cur == -1) return kPortNotOpen;
  if (data == nullptr) return kPortBadArg;
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

void SerialPort::Flush(const CancelToken& cancel) {
  const int cur = fd_.load();
  char scratch[1024];
  // Discard until the line is quiet for one inter-byte timeout; a peer that
  // never stops sending cannot hold us here for more than a few seconds.
  const Deadline deadline(2000);
  while (ReadRetry(cur, scratch, sizeof scratch) > 0) {
    if (deadline.Passed() || cancel.Requested()) break;
  }
  SecureWipe(scratch, sizeof scratch);  // stale replies may hold PIN bytes
}

void SerialPort::Close() {
  const int cur = fd_.load();
  if (cur == -1) return;
  if (savedForFd == cur) IoctlRetry(cur, TCSETAF, &savedLineSettings);
  savedForFd = -1;
  flock(cur, LOCK_UN);
  fd_ = -1;
  ::close(cur);
}

}  // namespace tlx
