#include "fake_libusb.h"

#include <libusb-1.0/libusb.h>

#include <cstring>

struct libusb_device {
  int refs;
};
struct libusb_device_handle {
  int unused;
};

namespace {

libusb_device g_device{1};
libusb_device_handle g_handle{0};
std::vector<std::string> g_reports;
size_t g_next = 0;
size_t g_written = 0;
bool g_endless = false;
const int kReport = 1024;

}  // namespace

namespace fakeusb {

void SetReplies(const std::vector<std::string>& replies, bool endless) {
  g_reports.clear();
  g_endless = endless;
  for (const std::string& r : replies) {
    size_t off = 0;
    do {
      std::string report = r.substr(off, kReport);
      report.resize(kReport, '\0');
      g_reports.push_back(report);
      off += kReport;
    } while (off < r.size());
  }
  g_next = 0;
  g_written = 0;
}

size_t BytesWritten() { return g_written; }

}  // namespace fakeusb

extern "C" {

int libusb_init(libusb_context**) { return 0; }
void libusb_exit(libusb_context*) {}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
  static libusb_device* devices[2] = {&g_device, nullptr};
  *list = devices;
  return 1;
}
void libusb_free_device_list(libusb_device**, int) {}
libusb_device* libusb_ref_device(libusb_device* d) { return d; }
void libusb_unref_device(libusb_device*) {}

int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* desc) {
  std::memset(desc, 0, sizeof *desc);
  desc->bLength = sizeof *desc;
  desc->idVendor = 0x2FB0;
  desc->idProduct = 0x0101;
  desc->bNumConfigurations = 1;
  return 0;
}

// For tlxctl's probe, linked into the target of its parsers.
uint8_t libusb_get_bus_number(libusb_device*) { return 1; }
uint8_t libusb_get_device_address(libusb_device*) { return 2; }
const char* libusb_strerror(int) { return "fake device"; }
const char* libusb_error_name(int) { return "LIBUSB_FAKE"; }

int libusb_open(libusb_device*, libusb_device_handle** handle) {
  *handle = &g_handle;
  return 0;
}
void libusb_close(libusb_device_handle*) {}
int libusb_kernel_driver_active(libusb_device_handle*, int) { return 0; }
int libusb_detach_kernel_driver(libusb_device_handle*, int) { return 0; }
int libusb_claim_interface(libusb_device_handle*, int) { return 0; }

int libusb_bulk_transfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int timeout) {
  if (transferred != nullptr) *transferred = 0;
  if (endpoint == 0x02) {
    if (length != kReport) return LIBUSB_ERROR_INVALID_PARAM;
    g_written += static_cast<size_t>(length);
    if (transferred != nullptr) *transferred = length;
    return 0;
  }
  if (endpoint != 0x81 || length < kReport) return LIBUSB_ERROR_INVALID_PARAM;
  // The flush's 1 ms transfers find the line quiet; the replies are for the
  // reads after the commands.
  if (timeout <= 1) return LIBUSB_ERROR_TIMEOUT;
  if (g_endless && !g_reports.empty() && g_next >= g_reports.size()) g_next = 0;
  if (g_next >= g_reports.size()) return LIBUSB_ERROR_NO_DEVICE;
  std::memcpy(data, g_reports[g_next].data(), kReport);
  ++g_next;
  if (transferred != nullptr) *transferred = kReport;
  return 0;
}

}  // extern "C"
