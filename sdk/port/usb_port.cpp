// USB link, driven with libusb-1.0 bulk transfers on a context of the
// library's own: every write goes out as whole 1024-byte reports on
// endpoint 0x02 (payload plus zero padding), reads are 1024-byte IN
// transfers on 0x81 with a 50 ms transfer timeout, fed to the end condition
// one byte at a time. The short transfers let a cancel end a waiting read
// within a twentieth of a second.
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "port/port.h"

namespace tlx {

namespace {

const unsigned char kEndpointOut = 0x02;
const unsigned char kEndpointIn = 0x81;
const unsigned int kOutTimeoutMs = 1000;
const unsigned int kInTimeoutMs = 50;
// Consecutive failed IN transfers (other than timeouts) after which the
// device counts as gone: a single I/O error may be a glitch of the bus.
const int kFailuresGone = 3;
const unsigned int kFlushTimeoutMs = 1;

// Handles open on the library's context.
std::atomic<int> g_openHandles{0};

// The library's libusb context, never libusb's default one, so that an
// application using libusb itself keeps its own: initialised on the first
// USB open and released when the library is unloaded. The release matters
// for programs that load the library at run time and unload it again:
// libusb keeps memory (and on real systems an event thread) that must not
// outlive the library that started it. Also remembers the device that
// matched the last open, kept referenced so that the next open of the same
// identity needs no new enumeration.
class LibusbSession {
 public:
  ~LibusbSession() {
    if (!ready_) return;
    // An exchange still running at unload keeps its handle; leave libusb
    // alone rather than pull the context from under it.
    if (g_openHandles.load() > 0) return;
    Forget();
    libusb_exit(ctx_);
  }

  bool Ensure() {
    if (!ready_ && libusb_init(&ctx_) == 0) ready_ = true;
    return ready_;
  }
  libusb_context* Context() const { return ctx_; }

  libusb_device* Known(unsigned long vendorId, unsigned long productId) const {
    return vendorId == vendorId_ && productId == productId_ ? device_ : nullptr;
  }
  void Remember(libusb_device* device, unsigned long vendorId, unsigned long productId) {
    Forget();
    device_ = libusb_ref_device(device);
    vendorId_ = vendorId;
    productId_ = productId;
  }
  void Forget() {
    if (device_ != nullptr) libusb_unref_device(device_);
    device_ = nullptr;
  }
  // The device of the open link went away: the next open looks it up anew
  // instead of trying the remembered one.
  void MarkGone() { gone_ = true; }
  bool Gone() const { return gone_; }
  void ForgetIfGone() {
    if (gone_) Forget();
    gone_ = false;
  }

 private:
  libusb_context* ctx_ = nullptr;
  bool ready_ = false;
  bool gone_ = false;
  libusb_device* device_ = nullptr;
  unsigned long vendorId_ = 0;
  unsigned long productId_ = 0;
};

// Constructed on first use, after the device objects, so it is destroyed
// before them.
LibusbSession& Libusb() {
  static LibusbSession session;
  return session;
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

// Why a found device could not be taken: its node, libusb's error name and
// what to do about it.
void SetClaimError(libusb_device* device, const char* step, int rc) {
  char node[40];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u",
                static_cast<unsigned>(libusb_get_bus_number(device)),
                static_cast<unsigned>(libusb_get_device_address(device)));
  const char* hint = "";
  if (rc == LIBUSB_ERROR_ACCESS)
    hint =
        "; no access to the USB node: install the udev rule 70-tlxdev.rules (package "
        "libtlxdev1), then plug the terminal in again";
  else if (rc == LIBUSB_ERROR_BUSY)
    hint = "; held by another process using the terminal";
  else if (rc == LIBUSB_ERROR_NO_DEVICE)
    hint = "; the terminal went away";
  SetLastError("%s: %s: %s%s", node, step, libusb_error_name(rc), hint);
}

}  // namespace

// Opens a device and claims interface 0 (detaching a kernel driver first).
// On success the handle is stored; on failure nothing is left open.
bool UsbPort::Claim(libusb_device* device) {
  libusb_device_handle* handle = nullptr;
  const int opened = libusb_open(device, &handle);
  if (opened != 0 || handle == nullptr) {
    SetClaimError(device, "open", opened != 0 ? opened : LIBUSB_ERROR_OTHER);
    return false;
  }
  if (libusb_kernel_driver_active(handle, 0) == 1) libusb_detach_kernel_driver(handle, 0);
  const int claimed = libusb_claim_interface(handle, 0);
  if (claimed != 0) {
    if (claimed == LIBUSB_ERROR_BUSY) claimBusy_ = true;
    SetClaimError(device, "claim interface 0", claimed);
    libusb_close(handle);
    return false;
  }
  handle_ = handle;
  ++g_openHandles;
  return true;
}

bool UsbPort::Gone() { return Libusb().Gone(); }

bool UsbPort::Open(unsigned long vendorId, unsigned long productId) {
  if (handle_.load() != nullptr) return true;
  claimBusy_ = false;
  LibusbSession& libusb = Libusb();
  if (!libusb.Ensure()) {
    SetLastError("USB: libusb_init failed (no USB access in this environment?)");
    return false;
  }

  // The device found for the same identity last time is tried first: the
  // enumeration costs more than the whole exchange. When it has gone away
  // (unplugged, re-enumerated) its open fails and the list is walked anew.
  if (libusb_device* known = libusb.Known(vendorId, productId)) {
    if (Claim(known)) {
      list_ = nullptr;
      return true;
    }
    libusb.Forget();
    // Gone or re-enumerated: the walk below tells what is there now.
    ClearLastError();
  }

  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(libusb.Context(), &list);
  if (n < 0 || list == nullptr) {
    SetLastError("USB: libusb_get_device_list: %s",
                 libusb_error_name(n < 0 ? static_cast<int>(n) : LIBUSB_ERROR_OTHER));
    return false;
  }
  list_ = list;

  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < n && list[i] != nullptr; ++i) {
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(list[i], &desc) != 0) continue;
    if (desc.idVendor == vendorId && desc.idProduct == productId) {
      found = list[i];
      break;
    }
  }

  if (found == nullptr || !Claim(found)) {
    libusb_free_device_list(list, 1);
    list_ = nullptr;
    return false;
  }
  libusb.Remember(found, vendorId, productId);
  return true;
}

int UsbPort::Read(char* buf, unsigned long capacity, EndCondition until, const Deadline& deadline,
                  const CancelToken& cancel) {
  libusb_device_handle* handle = handle_.load();
  if (handle == nullptr) return kPortNotOpen;
  if (buf == nullptr || capacity == 0) return kPortBadArg;
  if (capacity > 0x7FFFFFFFUL) capacity = 0x7FFFFFFFUL;
  cancelRequested_ = false;

  unsigned char report[kReportSize + 1];
  ReportWiper wiper(report, sizeof report);
  unsigned long count = 0;
  int failures = 0;
  while (count < capacity) {
    if (cancelRequested_ || cancel.Requested()) return kPortCancelled;

    std::memset(report, 0, sizeof report);
    int transferred = 0;
    const int rc =
        libusb_bulk_transfer(handle, kEndpointIn, report, kReportSize, &transferred, kInTimeoutMs);
    // A device that is gone ends the wait at once; so does one whose
    // transfers keep failing. A timeout is the normal empty transfer.
    if (rc == LIBUSB_ERROR_NO_DEVICE)
      failures = kFailuresGone;
    else if (rc < 0 && rc != LIBUSB_ERROR_TIMEOUT)
      ++failures;
    else
      failures = 0;
    if (failures >= kFailuresGone) {
      Libusb().MarkGone();
      return kPortGone;
    }
    unsigned long got = transferred > 0 ? static_cast<unsigned long>(transferred) : 0;
    if (got > kReportSize) got = kReportSize;
    got = std::min(got, capacity - count);

    for (unsigned long i = 0; i < got; ++i) {
      buf[count++] = static_cast<char>(report[i]);
      if (count >= capacity) return static_cast<int>(count);
      // Bytes of this report behind the completing byte are dropped.
      if (until != nullptr && until(buf, static_cast<int>(count))) return static_cast<int>(count);
    }

    if (deadline.Passed()) return kPortTimeout;
  }
  return static_cast<int>(count);
}

long UsbPort::Write(const char* data, unsigned long length) {
  libusb_device_handle* handle = handle_.load();
  if (handle == nullptr) return kPortNotOpen;
  if (data == nullptr) return kPortBadArg;
  if (length == 0) length = std::strlen(data);

  unsigned char report[kReportSize + 1];
  ReportWiper wiper(report, sizeof report);
  unsigned long sent = 0;
  while (sent < length) {
    std::memset(report, 0, sizeof report);
    const unsigned long chunk = std::min<unsigned long>(length - sent, kReportSize);
    std::memcpy(report, data + sent, chunk);
    int transferred = 0;
    const int rc = libusb_bulk_transfer(handle, kEndpointOut, report, kReportSize, &transferred,
                                        kOutTimeoutMs);
    if (rc == LIBUSB_ERROR_NO_DEVICE) Libusb().MarkGone();
    if (rc < 0) return kPortWriteFailed;
    // A transfer that moved nothing would otherwise repeat forever.
    if (transferred <= 0) return kPortWriteFailed;
    sent += static_cast<unsigned long>(transferred);
  }
  return static_cast<long>(sent);
}

void UsbPort::Flush(const CancelToken& cancel) {
  libusb_device_handle* handle = handle_.load();
  unsigned char report[kReportSize + 1];
  ReportWiper wiper(report, sizeof report);
  // Drain until a transfer brings nothing; bounded so that a device which
  // keeps sending cannot hold us here for more than a few seconds.
  const Deadline deadline(2000);
  for (;;) {
    int transferred = 0;
    libusb_bulk_transfer(handle, kEndpointIn, report, kReportSize, &transferred, kFlushTimeoutMs);
    if (transferred <= 0) break;
    if (deadline.Passed() || cancel.Requested()) break;
  }
}

void UsbPort::Close() {
  libusb_device_handle* handle = handle_.exchange(nullptr);
  if (handle == nullptr) return;
  libusb_close(handle);
  --g_openHandles;
  Libusb().ForgetIfGone();
  if (list_ != nullptr) libusb_free_device_list(list_, 1);
  list_ = nullptr;
}

}  // namespace tlx
