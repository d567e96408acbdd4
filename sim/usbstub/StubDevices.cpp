// Device list and descriptors of the libusb stand-in: the list holds the
// simulated terminal when its HID server answers and reports it present.
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <new>

#include "StubInternal.h"
#include "UsbSimProtocol.h"

using namespace tlxsim;

namespace {

// Asks the simulator whether the device is there and under which ids.
bool QueryDevice(uint16_t* vid, uint16_t* pid) {
  int fd = stub::ConnectToSimulator();
  if (fd < 0) return false;
  bool present = false;
  unsigned char buf[usbproto::kMaxPayload];
  uint8_t type = 0;
  size_t n = 0;
  if (usbproto::SendFrame(fd, usbproto::kList, nullptr, 0) &&
      usbproto::WaitReadable(fd, 2000) == 1 && usbproto::RecvFrame(fd, &type, buf, &n) &&
      type == usbproto::kDevice && n >= 5 && buf[0] == 1) {
    *vid = static_cast<uint16_t>(buf[1] | (buf[2] << 8));
    *pid = static_cast<uint16_t>(buf[3] | (buf[4] << 8));
    present = true;
  }
  ::close(fd);
  return present;
}

}  // namespace

extern "C" {

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
  if (list == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  uint16_t vid = 0, pid = 0;
  bool present = QueryDevice(&vid, &pid);
  auto** l = static_cast<libusb_device**>(std::calloc(2, sizeof(libusb_device*)));
  if (l == nullptr) return LIBUSB_ERROR_NO_MEM;
  if (present) {
    auto* d = new (std::nothrow) libusb_device;
    if (d == nullptr) {
      std::free(l);
      return LIBUSB_ERROR_NO_MEM;
    }
    d->vendorId = vid;
    d->productId = pid;
    l[0] = d;
  }
  *list = l;
  return present ? 1 : 0;
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev) {
  if (dev) dev->refs.fetch_add(1);
  return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* dev) {
  if (dev && dev->refs.fetch_sub(1) == 1) delete dev;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unrefDevices) {
  if (list == nullptr) return;
  if (unrefDevices) {
    for (libusb_device** p = list; *p != nullptr; ++p) libusb_unref_device(*p);
  }
  std::free(list);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev,
                                             struct libusb_device_descriptor* desc) {
  if (dev == nullptr || desc == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  std::memset(desc, 0, sizeof *desc);
  desc->bLength = LIBUSB_DT_DEVICE_SIZE;
  desc->bDescriptorType = LIBUSB_DT_DEVICE;
  desc->bcdUSB = 0x0200;
  desc->bDeviceClass = LIBUSB_CLASS_PER_INTERFACE;
  desc->bMaxPacketSize0 = 64;
  desc->idVendor = dev->vendorId;
  desc->idProduct = dev->productId;
  desc->bcdDevice = 0x0100;
  desc->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device*) { return 1; }

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device*) { return 2; }

}  // extern "C"
