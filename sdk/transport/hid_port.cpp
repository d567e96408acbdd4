// USB HID link of CDevice, driven with libusb-1.0 bulk transfers: every
// write goes out as whole 1024-byte reports on endpoint 0x02 (payload plus
// zero padding), reads are 1024-byte IN transfers on 0x81 with a 200 ms
// transfer timeout, fed to the end condition one byte at a time.
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "transport/CDevice.h"
#include "transport/monotonic_seconds.h"
#include "util/util.h"

namespace {

const unsigned char kEndpointOut = 0x02;
const unsigned char kEndpointIn = 0x81;
const int kReportSize = 1024;
const unsigned int kOutTimeoutMs = 1000;
const unsigned int kInTimeoutMs = 200;
const unsigned int kFlushTimeoutMs = 1;

// The default libusb context is initialised once, on the first HID open
// that needs it, and kept for the life of the process.
bool EnsureLibusb() {
  static std::atomic<bool> ready(false);
  if (ready.load()) return true;
  if (libusb_init(nullptr) != 0) return false;
  ready = true;
  return true;
}

// Clears a report buffer when it goes out of scope: reports carry key and
// PIN bytes, which must not stay behind on the stack.
class ReportWiper {
 public:
  ReportWiper(unsigned char* p, unsigned long n) : p_(p), n_(n) {}
  ~ReportWiper() { SecureWipe(p_, n_); }
  ReportWiper(const ReportWiper&) = delete;
  ReportWiper& operator=(const ReportWiper&) = delete;

 private:
  unsigned char* p_;
  unsigned long n_;
};

}  // namespace

// Opens a device and claims interface 0 (detaching a kernel driver first).
// On success the handle is stored; on failure nothing is left open.
bool CDevice::ClaimHid(libusb_device* device) {
  libusb_device_handle* handle = nullptr;
  if (libusb_open(device, &handle) != 0 || handle == nullptr) return false;
  if (libusb_kernel_driver_active(handle, 0) == 1) libusb_detach_kernel_driver(handle, 0);
  if (libusb_claim_interface(handle, 0) != 0) {
    libusb_close(handle);
    return false;
  }
  usbHandle = handle;
  return true;
}

bool CDevice::OpenHid(unsigned long vendorId, unsigned long productId) {
  if (usbHandle.load() != nullptr) return true;
  if (!EnsureLibusb()) return false;

  // The device found for the same identity last time is tried first: the
  // enumeration costs more than the whole exchange. When it has gone away
  // (unplugged, re-enumerated) its open fails and the list is walked anew.
  if (knownDevice != nullptr) {
    if (knownVendorId == vendorId && knownProductId == productId && ClaimHid(knownDevice)) {
      usbDevice = knownDevice;
      usbDeviceList = nullptr;
      return true;
    }
    libusb_unref_device(knownDevice);
    knownDevice = nullptr;
  }

  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(nullptr, &list);
  if (n < 0 || list == nullptr) return false;
  usbDeviceList = list;

  usbDevice = nullptr;
  for (ssize_t i = 0; i < n && list[i] != nullptr; ++i) {
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(list[i], &desc) != 0) continue;
    if (desc.idVendor == vendorId && desc.idProduct == productId) {
      usbDevice = list[i];
      break;
    }
  }

  if (usbDevice == nullptr || !ClaimHid(usbDevice)) {
    libusb_free_device_list(list, 1);
    usbDeviceList = nullptr;
    usbDevice = nullptr;
    return false;
  }
  knownDevice = libusb_ref_device(usbDevice);
  knownVendorId = vendorId;
  knownProductId = productId;
  return true;
}

int CDevice::ReadHid(char* buf, unsigned long capacity, EndConditionFn cond,
                     unsigned long timeoutMs) {
  libusb_device_handle* handle = usbHandle.load();
  if (handle == nullptr) return TLX_PORT_NOT_OPEN;
  if (buf == nullptr || capacity == 0) return TLX_PORT_BAD_ARG;
  if (capacity > 0x7FFFFFFFUL) capacity = 0x7FFFFFFFUL;

  const long start = MonotonicSeconds();
  const unsigned long limit = timeoutMs / 1000;
  cancelRequested = false;

  unsigned char report[kReportSize + 1];
  ReportWiper wiper(report, sizeof report);
  unsigned long count = 0;
  while (count < capacity) {
    if (cancelRequested) return TLX_PORT_CANCELLED;

    std::memset(report, 0, sizeof report);
    int transferred = 0;
    // A failed transfer counts as an empty one; a vanished device therefore
    // ends in the timeout below.
    libusb_bulk_transfer(handle, kEndpointIn, report, kReportSize, &transferred, kInTimeoutMs);
    unsigned long got = transferred > 0 ? static_cast<unsigned long>(transferred) : 0;
    if (got > kReportSize) got = kReportSize;
    got = std::min(got, capacity - count);

    for (unsigned long i = 0; i < got; ++i) {
      buf[count++] = static_cast<char>(report[i]);
      if (count >= capacity) return static_cast<int>(count);
      // Bytes of this report behind the completing byte are dropped.
      if (cond != nullptr && cond(buf, static_cast<int>(count))) return static_cast<int>(count);
    }

    if (static_cast<unsigned long>(MonotonicSeconds() - start) > limit) return TLX_PORT_TIMEOUT;
  }
  return static_cast<int>(count);
}

long CDevice::WriteHid(const char* data, unsigned long length) {
  libusb_device_handle* handle = usbHandle.load();
  if (handle == nullptr) return TLX_PORT_NOT_OPEN;
  if (data == nullptr) return TLX_PORT_BAD_ARG;
  if (length == 0) length = std::strlen(data);

  unsigned char report[kReportSize + 1];
  ReportWiper wiper(report, sizeof report);
  unsigned long sent = 0;
  while (sent < length) {
    std::memset(report, 0, sizeof report);
    const unsigned long chunk = std::min<unsigned long>(length - sent, kReportSize);
    std::memcpy(report, data + sent, chunk);
    int transferred = 0;
    if (libusb_bulk_transfer(handle, kEndpointOut, report, kReportSize, &transferred,
                             kOutTimeoutMs) < 0)
      return TLX_PORT_WRITE_FAILED;
    // A transfer that moved nothing would otherwise repeat forever.
    if (transferred <= 0) return TLX_PORT_WRITE_FAILED;
    sent += static_cast<unsigned long>(transferred);
  }
  return static_cast<long>(sent);
}

void CDevice::FlushHid() {
  libusb_device_handle* handle = usbHandle.load();
  unsigned char report[kReportSize + 1];
  // Drain until a transfer brings nothing; bounded so that a device which
  // keeps sending cannot hold us here for more than a few seconds.
  const long start = MonotonicSeconds();
  for (;;) {
    int transferred = 0;
    libusb_bulk_transfer(handle, kEndpointIn, report, kReportSize, &transferred,
                         kFlushTimeoutMs);
    if (transferred <= 0) break;
    if (MonotonicSeconds() - start > 2) break;
  }
}

void CDevice::CloseHid() {
  libusb_device_handle* handle = usbHandle.exchange(nullptr);
  libusb_close(handle);
  if (usbDeviceList != nullptr) libusb_free_device_list(usbDeviceList, 1);
  usbDeviceList = nullptr;
  usbDevice = nullptr;
}
