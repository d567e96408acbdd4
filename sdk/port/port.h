// The physical link to the terminal: one Port per link kind (a serial tty in
// serial_port.cpp, the USB terminal driven with libusb bulk transfers in
// usb_port.cpp), and the Device that holds one of each, as the exchange and
// the legacy CDevice object use it. A port opens and closes its link,
// writes raw bytes, reads until an end condition holds, the deadline passes
// or a cancel comes, and discards what is waiting. It knows nothing of
// commands.
#ifndef TLX_PORT_PORT_H
#define TLX_PORT_PORT_H

#include <atomic>

#include "core/tlx_internal.h"

struct libusb_device;
struct libusb_device_handle;

namespace tlx {

// Port-layer results of Read/Write. Their numbers overlap the interface's
// result codes with other meanings (-5 is a timeout here, -6 a cancel), so
// they never leave the library as they are: PortReadCode (exchange.cpp) is
// the one place that turns them into result codes.
enum PortResult {
  kPortNotOpen = -1,
  kPortWriteFailed = -2,
  kPortBadType = -3,
  kPortTimeout = -5,
  kPortCancelled = -6,
  kPortGone = -8,  // the device went away (unplugged, line hung up)
  kPortBadArg = -9,
};

// Link kinds.
enum LinkKind { kSerialLink = 1, kUsbLink = 2 };

class Port {
 public:
  virtual ~Port() = default;
  // Received count, or a negative PortResult. A null `until` reads until the
  // buffer is full, the deadline passes or the read is cancelled (by
  // CancelRead or by `cancel`). A device that is gone ends the read at once
  // with kPortGone.
  virtual int Read(char* buf, unsigned long capacity, EndCondition until, const Deadline& deadline,
                   const CancelToken& cancel) = 0;
  // Bytes written (USB: whole reports), or a negative PortResult; length 0
  // means up to the first NUL.
  virtual long Write(const char* data, unsigned long length) = 0;
  // Discards what is waiting, for at most about two seconds.
  virtual void Flush(const CancelToken& cancel) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;  // safe from a second thread
  // Ends the read under way; safe from a second thread. Every read clears it
  // at its start.
  void CancelRead() { cancelRequested_ = true; }
  void ClearCancel() { cancelRequested_ = false; }

 protected:
  std::atomic<bool> cancelRequested_{false};
};

class SerialPort : public Port {
 public:
  // Opens serial port n ("/dev/ttyS<n-1>" or TLX_SERIAL_PATH's pattern),
  // locked against other processes, raw 8N1 at baud.
  bool Open(int port, int baud);
  // Raw 8N1 at baud on the open line (the line settings found at open are
  // kept for the close).
  bool SetLine(int baud);
  bool SetRate(unsigned long baud);
  // The line's rate, or a negative PortResult.
  long Rate() const;

  int Read(char* buf, unsigned long capacity, EndCondition until, const Deadline& deadline,
           const CancelToken& cancel) override;
  long Write(const char* data, unsigned long length) override;
  void Flush(const CancelToken& cancel) override;
  void Close() override;
  bool IsOpen() const override { return fd_.load() != -1; }

 private:
  std::atomic<int> fd_{-1};
};

class UsbPort : public Port {
 public:
  // Opens the device of this identity and claims its interface 0.
  bool Open(unsigned long vendorId, unsigned long productId);
  // The last open failed because another handle (another process) has the
  // interface claimed.
  bool ClaimBusy() const { return claimBusy_; }
  // The device of the open link has gone away (unplugged, re-enumerated).
  static bool Gone();

  int Read(char* buf, unsigned long capacity, EndCondition until, const Deadline& deadline,
           const CancelToken& cancel) override;
  long Write(const char* data, unsigned long length) override;
  void Flush(const CancelToken& cancel) override;
  void Close() override;
  bool IsOpen() const override { return handle_.load() != nullptr; }

 private:
  bool Claim(libusb_device* device);

  std::atomic<libusb_device_handle*> handle_{nullptr};
  libusb_device** list_ = nullptr;
  bool claimBusy_ = false;
};

// A link of either kind: the port of the kind opened last is the one read
// and written; both are flushed and closed.
class Device {
 public:
  bool OpenSerial(int port, int baud);
  bool OpenUsb(unsigned long vendorId, unsigned long productId);
  // On the port of the kind opened last; negative ms count as 0.
  int Read(char* buf, int capacity, EndCondition until, int timeoutMs);
  long Write(const char* data, int length);
  void Flush();
  void Close();
  void CancelRead();
  bool IsOpen() const { return serial.IsOpen() || usb.IsOpen(); }
  int Kind() const { return kind_; }
  int PortNumber() const { return port_; }
  Port& Active() { return kind_ == kUsbLink ? static_cast<Port&>(usb) : serial; }

  SerialPort serial;
  UsbPort usb;

 private:
  int kind_ = kSerialLink;
  int port_ = -1;
};

// The device of the exchanges (and of the legacy g_device object).
Device& TheDevice();

// Builds the serial device path of a port number into buf: "/dev/ttyS%d"
// with port-1, or the pattern in TLX_SERIAL_PATH when it holds exactly one
// %d and no other conversion. Returns false when it does not fit.
bool SerialDevicePath(int port, char* buf, int capacity);

// Cross-process lock of a serial port for the length of one command.
enum SerialLockResult {
  kSerialLocked,       // held until UnlockSerialPort
  kSerialLockBusy,     // another process holds the port
  kSerialLockNoDevice  // the device does not open: nothing held
};
SerialLockResult LockSerialPort(int port);
void UnlockSerialPort();
// The tty at path is locked by another process.
void SetSerialBusyError(const char* path);

}  // namespace tlx

#endif
