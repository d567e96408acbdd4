// USB part of the probe: the identities of the library's table on the bus,
// then the online check on port 0 when one of them is there.
#include <libusb-1.0/libusb.h>

#include "compat/session.h"
#include "probe.h"
#include "tlxdev.h"

namespace tlxctl {

UsbFinding ProbeUsb() {
  UsbFinding f;
  for (const HidIdentity& id : g_hidIdentities) {
    UsbIdentity u;
    u.vendorId = static_cast<unsigned>(id.vendorId);
    u.productId = static_cast<unsigned>(id.productId);
    f.identities.push_back(u);
  }
  libusb_context* ctx = nullptr;
  int rc = libusb_init(&ctx);
  if (rc != 0) {
    f.state = "unlisted";
    f.error = libusb_strerror(static_cast<libusb_error>(rc));
    return f;
  }
  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(ctx, &list);
  if (n < 0) {
    f.state = "unlisted";
    f.error = libusb_strerror(static_cast<libusb_error>(n));
    libusb_exit(ctx);
    return f;
  }
  bool any = false;
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device_descriptor d;
    if (libusb_get_device_descriptor(list[i], &d) != 0) continue;
    for (UsbIdentity& u : f.identities) {
      if (u.present || d.idVendor != u.vendorId || d.idProduct != u.productId) continue;
      u.present = true;
      u.bus = libusb_get_bus_number(list[i]);
      u.address = libusb_get_device_address(list[i]);
      any = true;
    }
  }
  libusb_free_device_list(list, 1);
  libusb_exit(ctx);
  if (!any) {
    f.state = "absent";
    return f;
  }
  char model[TLX_MODEL_SIZE] = {0};
  f.result = TLX_CheckOnline(0, 0, 9600, model);
  f.model = model;
  f.state = f.result == TLX_OK ? "answers" : "silent";
  return f;
}

}  // namespace tlxctl
