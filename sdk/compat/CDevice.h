// CDevice: the exported port object of earlier releases, kept for programs
// built against it. Each object forwards to a device of the library's own
// (port/port.h); g_device forwards to the one the exchanges use, so that
// the legacy session functions and g_device see the same link.
#ifndef TLX_CDEVICE_H
#define TLX_CDEVICE_H

#include <cstdint>

#include "tlx_export.h"

namespace tlx {
class Device;
}

// Ends a read when the response is complete: (bytes so far, count) -> done.
typedef bool (*EndConditionFn)(const char* data, int count);

// Link types.
enum { TLX_LINK_SERIAL = 1, TLX_LINK_HID = 2 };

// Port-layer results of Read/Write (the values of tlx::PortResult). Their
// numbers overlap the interface's result codes with other meanings (-5 is a
// timeout here, -6 a cancel), so they never leave the library as they are.
enum {
  TLX_PORT_NOT_OPEN = -1,
  TLX_PORT_WRITE_FAILED = -2,
  TLX_PORT_BAD_TYPE = -3,
  TLX_PORT_TIMEOUT = -5,
  TLX_PORT_CANCELLED = -6,
  TLX_PORT_GONE = -8,  // the device went away (unplugged, line hung up)
  TLX_PORT_BAD_ARG = -9,
};

// Open request, passed by value.
struct DEVICEPARAM {
  int32_t type;  // 1 serial, 2 HID
  union {
    long port;               // serial: port number (n -> device n-1)
    unsigned long vendorId;  // HID
  };
  union {
    long baud;                // serial
    unsigned long productId;  // HID
  };
  uint8_t dataBits;     // serial: ignored (always 8)
  uint8_t lineOption2;  // serial option, unused (line is always 8N1)
  uint8_t lineOption3;  // serial option, unused
};

class TLX_EXPORT CDevice {
 public:
  CDevice();
  ~CDevice();  // does not close the link
  CDevice(const CDevice&) = delete;
  CDevice& operator=(const CDevice&) = delete;

  bool Open(DEVICEPARAM param);
  bool OpenCom(int port, int baud, int dataBits, int opt2, int opt3);
  bool SetComParam(int baud, int dataBits, int opt2, int opt3);
  bool OpenHid(unsigned long vendorId, unsigned long productId);

  // Received count, or a negative port-layer code. A null cond reads until
  // the buffer is full, the timeout expires or the read is cancelled. The
  // timeout counts whole seconds of the monotonic clock (1000 ms ends after
  // 1 to 2 s). A device that is gone ends the read at once with
  // TLX_PORT_GONE.
  int Read(char* buf, int capacity, EndConditionFn cond, int timeoutMs);
  long ReadCom(char* buf, unsigned long capacity, EndConditionFn cond, unsigned long timeoutMs);
  int ReadHid(char* buf, unsigned long capacity, EndConditionFn cond, unsigned long timeoutMs);

  // Bytes written (HID: whole 1024-byte reports), or a negative code.
  // length 0 means up to the first NUL.
  long Write(const char* data, int length);
  long WriteCom(const char* data, unsigned long length);
  long WriteHid(const char* data, unsigned long length);

  void Flush();
  void Close();
  void CancelRead();  // safe from a second thread

  bool IsOpen() const;  // safe from a second thread
  int GetPort() const;
  int GetType() const;
  long GetBaud() const;
  bool SetNewBaud(unsigned long baud);
  int GetHidReportSize();

  // g_device: the device of the exchanges.
  __attribute__((visibility("hidden"))) explicit CDevice(tlx::Device& shared);

 private:
  tlx::Device* device_;
  bool owned_;
  // Keeps the object the size it had when it held the link itself.
  [[maybe_unused]] unsigned char reserved_[32];
};

// The library's port object of earlier releases.
extern TLX_EXPORT CDevice g_device;

// Builds the serial device path of a port number into buf: "/dev/ttyS%d"
// with port-1, or the pattern in TLX_SERIAL_PATH when it holds exactly one
// %d and no other conversion. Returns false when it does not fit.
TLX_EXPORT bool SerialDevicePath(int port, char* buf, int capacity);

#endif
