// Device handles of the libusb stand-in: open, interface claim, kernel
// driver, and the two bulk endpoints of the terminal (OUT 0x02, IN 0x81, both
// 1024-byte reports) carried over the simulator's socket.
#include <unistd.h>
#include <chrono>
#include <cstring>
#include <new>

#include "StubInternal.h"
#include "UsbSimProtocol.h"

using namespace tlxsim;

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned char kEndpointOut = 0x02;
constexpr unsigned char kEndpointIn = 0x81;
constexpr size_t kMaxPacket = 512;  // bulk at high speed

// A piece the terminal sent goes on the bus as packets; an empty one is a
// zero-length packet.
void QueuePackets(libusb_device_handle* h, const unsigned char* buf, size_t n) {
  size_t off = 0;
  do {
    const size_t len = n - off < kMaxPacket ? n - off : kMaxPacket;
    h->packets.emplace_back(reinterpret_cast<const char*>(buf) + off, len);
    off += len;
  } while (off < n);
}

// Waits for the answer to a request. Reports that come before it (a device
// that sends from the moment its interface is claimed) are kept for the
// first IN transfer.
int Request(libusb_device_handle* h, uint8_t request) {
  unsigned char buf[usbproto::kMaxPayload];
  uint8_t type = 0;
  size_t n = 0;
  bool answered = usbproto::SendFrame(h->fd, request, nullptr, 0);
  while (answered) {
    answered =
        usbproto::WaitReadable(h->fd, 2000) == 1 && usbproto::RecvFrame(h->fd, &type, buf, &n);
    if (!answered) break;
    if (type == usbproto::kReport)
      QueuePackets(h, buf, n);
    else if (type == usbproto::kChatter)
      h->chatter.assign(reinterpret_cast<char*>(buf), n);
    else
      break;
  }
  if (!answered) {
    h->gone = true;
    return LIBUSB_ERROR_NO_DEVICE;
  }
  switch (type) {
    case usbproto::kOk:
      if (request == usbproto::kOpen && n >= 1) h->paced = (buf[0] & usbproto::kOpenPaced) != 0;
      return LIBUSB_SUCCESS;
    case usbproto::kBusy:
      return LIBUSB_ERROR_BUSY;
    default:
      h->gone = true;
      return LIBUSB_ERROR_NO_DEVICE;
  }
}

// Takes one frame off the socket into the handle's state. False when the
// connection ended.
bool TakeFrame(libusb_device_handle* h) {
  unsigned char buf[usbproto::kMaxPayload];
  uint8_t type = 0;
  size_t n = 0;
  if (!usbproto::RecvFrame(h->fd, &type, buf, &n) || type == usbproto::kGone) {
    h->gone = true;
    return false;
  }
  if (type == usbproto::kReport) QueuePackets(h, buf, n);
  if (type == usbproto::kOutDone) ++h->outDone;
  if (type == usbproto::kChatter) h->chatter.assign(reinterpret_cast<char*>(buf), n);
  return true;
}

// Reads whatever already waits on the socket, so that a vanished device is
// noticed before the next OUT transfer.
void Drain(libusb_device_handle* h) {
  while (!h->gone && usbproto::WaitReadable(h->fd, 0) == 1) {
    if (!TakeFrame(h)) break;
  }
}

// Takes frames off the socket until `done` holds, the device is gone or
// the timeout (0: none, as in libusb) has passed.
template <typename Done>
int WaitUntil(libusb_device_handle* h, unsigned int timeoutMs, Done done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
    int wait = -1;
    if (timeoutMs != 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return LIBUSB_ERROR_TIMEOUT;
      wait = static_cast<int>(left.count());
    }
    int r = usbproto::WaitReadable(h->fd, wait);
    if (r == 0) return LIBUSB_ERROR_TIMEOUT;
    if (r < 0) return LIBUSB_ERROR_IO;
    TakeFrame(h);
  }
  return LIBUSB_SUCCESS;
}

int TransferOut(libusb_device_handle* h, const unsigned char* data, int length, int* transferred,
                unsigned int timeoutMs) {
  if (length != static_cast<int>(usbproto::kReportSize) || data == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  Drain(h);
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (!usbproto::SendFrame(h->fd, usbproto::kOut, data, static_cast<size_t>(length))) {
    h->gone = true;
    return LIBUSB_ERROR_NO_DEVICE;
  }
  // On a paced bus the transfer ends when its frames have gone by; IN
  // reports that come meanwhile are kept for the next IN transfer.
  if (h->paced) {
    // Counted, so that the late completion of a transfer that timed out is
    // not taken for the next one's.
    const uint64_t mine = ++h->outSent;
    int r = WaitUntil(h, timeoutMs, [h, mine] { return h->outDone >= mine; });
    if (r != LIBUSB_SUCCESS) return r;
  }
  *transferred = length;
  return LIBUSB_SUCCESS;
}

int TransferIn(libusb_device_handle* h, unsigned char* data, int length, int* transferred,
               unsigned int timeoutMs) {
  if (length < static_cast<int>(usbproto::kReportSize) || data == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  // Packets that have already arrived are delivered even with the shortest
  // timeout (the host's flush uses 1 ms).
  Drain(h);
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  // As on the bus: the transfer takes packets until it is full or a short
  // packet (a zero-length one included) ends it. A timeout keeps what came.
  size_t got = 0;
  bool ended = false;
  auto take = [&] {
    // A chattering device has its noise ready in the endpoint's buffer,
    // however fast the host reads: it never depends on when the terminal's
    // thread next runs.
    if (h->packets.empty() && !h->chatter.empty()) {
      h->packets.push_back(h->chatter);
      h->packets.push_back(h->chatter);
    }
    while (!ended && !h->packets.empty()) {
      const std::string p = std::move(h->packets.front());
      h->packets.pop_front();
      const size_t n = p.size() < static_cast<size_t>(length) - got ? p.size() : length - got;
      std::memcpy(data + got, p.data(), n);
      got += n;
      if (p.size() < kMaxPacket || got == static_cast<size_t>(length)) ended = true;
    }
    return ended;
  };
  int r = WaitUntil(h, timeoutMs, take);
  *transferred = static_cast<int>(got);
  // A device that goes while the transfer waits fails it with an I/O error;
  // the transfers after it find no device.
  if (r == LIBUSB_ERROR_NO_DEVICE) return LIBUSB_ERROR_IO;
  return r;
}

}  // namespace

extern "C" {

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** handle) {
  if (dev == nullptr || handle == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  int fd = stub::ConnectToSimulator();
  if (fd < 0) return LIBUSB_ERROR_NO_DEVICE;
  auto* h = new (std::nothrow) libusb_device_handle;
  if (h == nullptr) {
    ::close(fd);
    return LIBUSB_ERROR_NO_MEM;
  }
  h->fd = fd;
  int r = Request(h, usbproto::kOpen);
  if (r != LIBUSB_SUCCESS) {
    ::close(fd);
    delete h;
    return r;
  }
  h->device = libusb_ref_device(dev);
  *handle = h;
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* h) {
  if (h == nullptr) return;
  ::close(h->fd);
  libusb_unref_device(h->device);
  delete h;
}

libusb_device* LIBUSB_CALL libusb_get_device(libusb_device_handle* h) {
  return h ? h->device : nullptr;
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle* h, int iface) {
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  if (iface != 0) return LIBUSB_ERROR_NOT_FOUND;
  std::lock_guard<std::mutex> g(h->lock);
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  return h->kernelDriverAttached ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle* h, int iface) {
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  if (iface != 0) return LIBUSB_ERROR_NOT_FOUND;
  std::lock_guard<std::mutex> g(h->lock);
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (!h->kernelDriverAttached) return LIBUSB_ERROR_NOT_FOUND;
  h->kernelDriverAttached = false;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle* h, int iface) {
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  if (iface != 0) return LIBUSB_ERROR_NOT_FOUND;
  std::lock_guard<std::mutex> g(h->lock);
  if (h->claimed) return LIBUSB_ERROR_BUSY;
  h->kernelDriverAttached = true;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* h, int) {
  return h ? LIBUSB_SUCCESS : LIBUSB_ERROR_INVALID_PARAM;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* h, int iface) {
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  if (iface != 0) return LIBUSB_ERROR_NOT_FOUND;
  std::lock_guard<std::mutex> g(h->lock);
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (h->claimed) return LIBUSB_SUCCESS;
  // usbhid still bound: the interface belongs to the kernel.
  if (h->kernelDriverAttached) return LIBUSB_ERROR_BUSY;
  int r = Request(h, usbproto::kClaim);
  if (r == LIBUSB_SUCCESS) h->claimed = true;
  return r;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* h, int iface) {
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  std::lock_guard<std::mutex> g(h->lock);
  if (iface != 0 || !h->claimed) return LIBUSB_ERROR_NOT_FOUND;
  // The server hands the interface on when the connection closes; until then
  // this handle simply stops using it.
  h->claimed = false;
  return h->gone ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* h, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int timeout) {
  int ignored = 0;  // a null count is allowed, as in libusb since 1.0.21
  if (transferred == nullptr) transferred = &ignored;
  *transferred = 0;
  if (h == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  std::lock_guard<std::mutex> g(h->lock);
  if (endpoint != kEndpointOut && endpoint != kEndpointIn) return LIBUSB_ERROR_INVALID_PARAM;
  if (h->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (!h->claimed) return LIBUSB_ERROR_NOT_FOUND;
  if (endpoint == kEndpointOut) return TransferOut(h, data, length, transferred, timeout);
  return TransferIn(h, data, length, transferred, timeout);
}

}  // extern "C"
