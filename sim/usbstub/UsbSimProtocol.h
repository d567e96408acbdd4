// The framed protocol between the libusb stand-in (in the host process) and
// the virtual terminal's HID server, over a Unix stream socket whose path is
// in TLX_SIM_USB_SOCKET.
//
// Frame: 4-byte length (little endian, counts type + payload), 1 type byte,
// payload. One connection per libusb_open handle; a device list query uses a
// short connection of its own.
//
//   host -> terminal                      terminal -> host
//   'L' list query                        'D' device: present(1) vid(2) pid(2)
//   'O' open                              'K' ok (flags(1): 1 = paced) / 'N' no device
//   'C' claim interface 0                 'K' ok / 'B' busy / 'N' no device
//   'W' one OUT report (1024 bytes)       (no answer; paced: 'A' when its
//                                          transfer completed on the bus)
//                                         'R' one IN report (1024 bytes)
//                                         'Z' chatter: one packet of the
//                                             noise (sent again without
//                                             end), or empty: the noise stops
//                                         'G' device gone (then closed)
// Closing the socket is closing the handle.
#ifndef TLXSIM_USBSIMPROTOCOL_H
#define TLXSIM_USBSIMPROTOCOL_H

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace tlxsim {
namespace usbproto {

constexpr const char* kSocketEnv = "TLX_SIM_USB_SOCKET";
// First words of the line the stand-in writes on standard error at its
// first libusb_init in a process.
constexpr const char* kStandInNotice =
    "libusb stand-in of the TLX virtual terminal: no real USB device is seen";
constexpr size_t kReportSize = 1024;
constexpr size_t kMaxPayload = 4096;

enum : uint8_t {
  kList = 'L',
  kDevice = 'D',
  kOpen = 'O',
  kClaim = 'C',
  kOk = 'K',
  kNoDevice = 'N',
  kBusy = 'B',
  kOut = 'W',
  kReport = 'R',
  kGone = 'G',
  kOutDone = 'A',
  kChatter = 'Z',
};

// Flags of the answer to kOpen.
constexpr uint8_t kOpenPaced = 1;  // full-speed frame timing: OUT transfers end with kOutDone

// Writes all of buf; false on any error (peer gone included, no SIGPIPE).
inline bool SendAll(int fd, const void* buf, size_t n) {
  const char* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

inline bool SendFrame(int fd, uint8_t type, const void* payload, size_t n) {
  if (n > kMaxPayload) return false;
  unsigned char head[5];
  uint32_t len = static_cast<uint32_t>(n + 1);
  head[0] = len & 0xff;
  head[1] = (len >> 8) & 0xff;
  head[2] = (len >> 16) & 0xff;
  head[3] = (len >> 24) & 0xff;
  head[4] = type;
  if (!SendAll(fd, head, sizeof head)) return false;
  return n == 0 || SendAll(fd, payload, n);
}

// Reads exactly n bytes; false on end of stream or error.
inline bool RecvAll(int fd, void* buf, size_t n) {
  char* p = static_cast<char*>(buf);
  while (n > 0) {
    ssize_t r = ::recv(fd, p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// Waits up to timeoutMs (-1: forever) for data. 1 readable (or closed),
// 0 timeout, -1 error.
inline int WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    return r > 0 ? 1 : 0;
  }
}

// Reads one whole frame. The payload goes to buf (capacity kMaxPayload);
// false on end of stream, error or an oversized frame.
inline bool RecvFrame(int fd, uint8_t* type, unsigned char* buf, size_t* n) {
  unsigned char head[5];
  if (!RecvAll(fd, head, sizeof head)) return false;
  uint32_t len = head[0] | (head[1] << 8) | (head[2] << 16) | (uint32_t(head[3]) << 24);
  if (len < 1 || len - 1 > kMaxPayload) return false;
  *type = head[4];
  *n = len - 1;
  return *n == 0 || RecvAll(fd, buf, *n);
}

}  // namespace usbproto
}  // namespace tlxsim

#endif
