// CDevice: forwards every method to its tlx::Device, and g_device, which
// forwards to the exchanges' own.
#include "compat/CDevice.h"

#include "port/port.h"

static_assert(sizeof(CDevice) == 0x30, "CDevice keeps its exported size");
// The legacy header spells the port results and link kinds out for the
// programs built against it; they are the library's own values.
namespace {
constexpr bool Same(int legacy, int own) { return legacy == own; }
}  // namespace
static_assert(Same(TLX_PORT_NOT_OPEN, tlx::kPortNotOpen) &&
                  Same(TLX_PORT_WRITE_FAILED, tlx::kPortWriteFailed) &&
                  Same(TLX_PORT_BAD_TYPE, tlx::kPortBadType) &&
                  Same(TLX_PORT_TIMEOUT, tlx::kPortTimeout) &&
                  Same(TLX_PORT_CANCELLED, tlx::kPortCancelled) &&
                  Same(TLX_PORT_GONE, tlx::kPortGone) && Same(TLX_PORT_BAD_ARG, tlx::kPortBadArg),
              "legacy port results");
static_assert(Same(TLX_LINK_SERIAL, tlx::kSerialLink) && Same(TLX_LINK_HID, tlx::kUsbLink),
              "legacy link kinds");

CDevice g_device(tlx::TheDevice());

CDevice::CDevice() : device_(new tlx::Device), owned_(true), reserved_() {}

CDevice::CDevice(tlx::Device& shared) : device_(&shared), owned_(false), reserved_() {}

// The link is deliberately left as it is, as it always was: the object
// lives until unload and the session closes the link after every exchange.
CDevice::~CDevice() {
  if (owned_) delete device_;
}

bool CDevice::Open(DEVICEPARAM param) {
  switch (param.type) {
    case TLX_LINK_SERIAL:
      return device_->OpenSerial(static_cast<int>(param.port), static_cast<int>(param.baud));
    case TLX_LINK_HID:
      return device_->OpenUsb(param.vendorId, param.productId);
    default:
      return false;
  }
}

bool CDevice::OpenCom(int port, int baud, int, int, int) {
  return device_->serial.Open(port, baud);
}

bool CDevice::SetComParam(int baud, int, int, int) { return device_->serial.SetLine(baud); }

bool CDevice::OpenHid(unsigned long vendorId, unsigned long productId) {
  return device_->usb.Open(vendorId, productId);
}

int CDevice::Read(char* buf, int capacity, EndConditionFn cond, int timeoutMs) {
  return device_->Read(buf, capacity, cond, timeoutMs);
}

long CDevice::ReadCom(char* buf, unsigned long capacity, EndConditionFn cond,
                      unsigned long timeoutMs) {
  return device_->serial.Read(buf, capacity, cond, tlx::Deadline(timeoutMs), tlx::CommandCancel());
}

int CDevice::ReadHid(char* buf, unsigned long capacity, EndConditionFn cond,
                     unsigned long timeoutMs) {
  return device_->usb.Read(buf, capacity, cond, tlx::Deadline(timeoutMs), tlx::CommandCancel());
}

long CDevice::Write(const char* data, int length) { return device_->Write(data, length); }

long CDevice::WriteCom(const char* data, unsigned long length) {
  return device_->serial.Write(data, length);
}

long CDevice::WriteHid(const char* data, unsigned long length) {
  return device_->usb.Write(data, length);
}

void CDevice::Flush() { device_->Flush(); }

void CDevice::Close() { device_->Close(); }

void CDevice::CancelRead() { device_->CancelRead(); }

bool CDevice::IsOpen() const { return device_->IsOpen(); }

int CDevice::GetPort() const { return device_->PortNumber(); }

int CDevice::GetType() const { return device_->Kind(); }

long CDevice::GetBaud() const { return device_->serial.Rate(); }

bool CDevice::SetNewBaud(unsigned long baud) { return device_->serial.SetRate(baud); }

int CDevice::GetHidReportSize() { return tlx::kReportSize; }

bool SerialDevicePath(int port, char* buf, int capacity) {
  return tlx::SerialDevicePath(port, buf, capacity);
}
