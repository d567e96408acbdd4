// CDevice: the parts common to both link kinds (construction, dispatch by
// link type, open state, cancel) and the global port object g_device.
// Serial specifics are in serial_port.cpp, HID specifics in hid_port.cpp.
#include "transport/CDevice.h"

#include <cstring>

CDevice g_device;

CDevice::CDevice()
    : type(TLX_LINK_SERIAL),
      port(-1),
      fd(-1),
      usbDevice(nullptr),
      usbDeviceList(nullptr),
      usbHandle(nullptr),
      cancelRequested(false) {}

// The link is deliberately left as it is: the object lives until unload and
// the session layer closes the link after every exchange.
CDevice::~CDevice() {}

bool CDevice::Open(DEVICEPARAM param) {
  switch (param.type) {
    case TLX_LINK_SERIAL: {
      const int portNo = static_cast<int>(param.port);
      if (!OpenCom(portNo, static_cast<int>(param.baud), param.dataBits, param.lineOption2,
                   param.lineOption3))
        return false;
      type = TLX_LINK_SERIAL;
      port = portNo;
      return true;
    }
    case TLX_LINK_HID:
      if (!OpenHid(param.vendorId, param.productId)) return false;
      type = TLX_LINK_HID;
      port = 0;
      return true;
    default:
      return false;
  }
}

int CDevice::Read(char* buf, int capacity, EndConditionFn cond, int timeoutMs) {
  if (type != TLX_LINK_SERIAL && type != TLX_LINK_HID) return TLX_PORT_BAD_TYPE;
  if (capacity < 0) return TLX_PORT_BAD_ARG;
  cancelRequested = false;
  // A negative timeout counts as 0 rather than as an enormous unsigned value.
  const unsigned long limit = timeoutMs < 0 ? 0UL : static_cast<unsigned long>(timeoutMs);
  if (type == TLX_LINK_SERIAL)
    return static_cast<int>(ReadCom(buf, static_cast<unsigned long>(capacity), cond, limit));
  return ReadHid(buf, static_cast<unsigned long>(capacity), cond, limit);
}

long CDevice::Write(const char* data, int length) {
  // A negative length is refused here; 0 keeps its meaning "up to the NUL".
  if (length < 0) return TLX_PORT_BAD_ARG;
  if (type == TLX_LINK_SERIAL) return WriteCom(data, static_cast<unsigned long>(length));
  if (type == TLX_LINK_HID) return WriteHid(data, static_cast<unsigned long>(length));
  return TLX_PORT_WRITE_FAILED;
}

void CDevice::Flush() {
  if (type != TLX_LINK_SERIAL && type != TLX_LINK_HID) return;
  cancelRequested = false;
  if (fd.load() != -1) FlushCom();
  if (usbHandle.load() != nullptr) FlushHid();
}

void CDevice::Close() {
  if (fd.load() != -1) CloseCom();
  if (usbHandle.load() != nullptr) CloseHid();
}

void CDevice::CancelRead() { cancelRequested = true; }

bool CDevice::IsOpen() const { return fd.load() != -1 || usbHandle.load() != nullptr; }

int CDevice::GetPort() const { return port; }

int CDevice::GetType() const { return type; }

int CDevice::GetHidReportSize() { return 1024; }
