// CDevice: the physical link to the terminal, a serial tty or a USB HID
// device driven with libusb bulk transfers. It opens and closes the link,
// writes raw bytes, reads until a caller-supplied end condition holds, and
// lets another thread cancel a read in progress. It knows nothing of
// commands; the session layer works on the one global instance g_device.
#ifndef TLX_CDEVICE_H
#define TLX_CDEVICE_H

#include <atomic>
#include <cstdint>

#include "tlx_export.h"

struct libusb_device;
struct libusb_device_handle;

// Ends a read when the response is complete: (bytes so far, count) -> done.
typedef bool (*EndConditionFn)(const char* data, int count);

// Link types.
enum { TLX_LINK_SERIAL = 1, TLX_LINK_HID = 2 };

// Port-layer results of Read/Write. Their numbers overlap the interface's
// result codes with other meanings (-5 is a timeout here, -6 a cancel), so
// they never leave the library as they are: PortReadCode (session layer) is
// the one place that turns them into result codes.
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
  uint8_t dataBits;     // serial: the session layer puts 8
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
  // the buffer is full, the timeout expires or the read is cancelled. A
  // device that is gone (libusb reports it missing or keeps failing, the
  // serial line hangs up or fails) ends the read at once with
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

  // The last HID open failed because another handle (another process)
  // has the interface claimed.
  __attribute__((visibility("hidden"))) bool HidClaimBusy() const { return hidClaimBusy; }
  // The open HID device has gone away (unplugged, re-enumerated).
  __attribute__((visibility("hidden"))) bool HidGone() const;

 private:
  // Halves of Close and Flush for each link kind; internal, not exported.
  __attribute__((visibility("hidden"))) void CloseCom();
  __attribute__((visibility("hidden"))) void CloseHid();
  __attribute__((visibility("hidden"))) void FlushCom();
  __attribute__((visibility("hidden"))) void FlushHid();
  __attribute__((visibility("hidden"))) bool ClaimHid(libusb_device* device);

  int type;
  int port;
  std::atomic<int> fd;
  libusb_device* usbDevice;
  libusb_device** usbDeviceList;
  std::atomic<libusb_device_handle*> usbHandle;
  std::atomic<bool> cancelRequested;
  bool hidClaimBusy = false;
};

// The library's only port object.
extern TLX_EXPORT CDevice g_device;

// Builds the serial device path of a port number into buf: "/dev/ttyS%d"
// with port-1, or the pattern in TLX_SERIAL_PATH when it holds exactly one
// %d and no other conversion. Returns false when it does not fit.
TLX_EXPORT bool SerialDevicePath(int port, char* buf, int capacity);

#endif
