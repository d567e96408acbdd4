// Cross-process lock of a serial port for the length of one command (see
// serial_lock.cpp). Used by one command at a time: the command guard keeps
// commands apart within the process.
#ifndef TLX_TRANSPORT_SERIAL_LOCK_H
#define TLX_TRANSPORT_SERIAL_LOCK_H

enum SerialLockResult {
  kSerialLocked,      // held until UnlockSerialPort
  kSerialLockBusy,    // another process holds the port
  kSerialLockNoDevice // the device does not open: nothing held
};

SerialLockResult LockSerialPort(int port);
void UnlockSerialPort();
// True when fd is the device that this process holds the lock of.
bool SerialLockHeldFor(int fd);

#endif
