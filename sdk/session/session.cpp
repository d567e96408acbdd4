// Opening and closing the port object from the link parameters, with the
// channel selector / reset of a port-sharing unit on serial links, and the
// raw write, read, flush and cancel entry points built on g_device.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "session/session.h"
#include "trace/wire_trace.h"
#include "transport/last_error.h"
#include "transport/serial_lock.h"

namespace {

const char kChannelReset[] = "\x1b%A";

// The USB link held open (interface claimed) for the running command; its
// exchanges then use that handle instead of opening and closing their own.
std::atomic<bool> g_hidHeld{false};
// Index of the USB identity that opened last.
int g_openIdentity = -1;

bool IsChannelLetter(char bp) { return bp == 'A' || bp == 'B' || bp == 'C' || bp == 'K'; }

// TLX_OK, or TLX_ERR_OPEN; *busy (may be null) tells whether an identity
// was found with its interface claimed by another handle.
int OpenHidByTable(bool* busy = nullptr) {
  if (busy != nullptr) *busy = false;
  tlx::ClearLastError();
  for (int i = 0; i < TLX_HID_IDENTITY_COUNT; ++i) {
    DEVICEPARAM param;
    std::memset(&param, 0, sizeof param);
    param.type = TLX_LINK_HID;
    param.vendorId = g_hidIdentities[i].vendorId;
    param.productId = g_hidIdentities[i].productId;
    if (g_device.Open(param)) {
      g_openIdentity = i;
      char name[32];
      std::snprintf(name, sizeof name, "USB %04lx:%04lx", g_hidIdentities[i].vendorId,
                    g_hidIdentities[i].productId);
      tlx::NoteLink(name);
      tlx::ClearLastError();
      if (tlx::WireTraceOn()) tlx::WireTraceNoteOpen(0, 0, 0, i);
      return TLX_OK;
    }
    if (busy != nullptr && g_device.HidClaimBusy()) *busy = true;
    g_device.Close();
  }
  // A device that was found but not taken has said why; else none is there.
  if (!tlx::HasLastError())
    tlx::SetLastError("USB: no terminal found: none of the USB identities 2fb0:0101, "
                      "2fb0:0102, 0483:5750 is present (lsusb lists the devices)");
  return TLX_ERR_OPEN;
}

}  // namespace

int HoldLink(int port) {
  ReleaseLink();
  if (port > 0) {
    if (LockSerialPort(port) != kSerialLockBusy) return TLX_OK;
    char path[256];
    if (SerialDevicePath(port, path, sizeof path)) tlx::SetSerialBusyError(path);
    return TLX_ERR_OPEN;
  }
  if (port < 0 || g_device.IsOpen()) return TLX_OK;
  bool busy = false;
  if (OpenHidByTable(&busy) == TLX_OK) {
    g_hidHeld = true;
    return TLX_OK;
  }
  // No terminal at all is left to the exchanges, which report it as before.
  return busy ? TLX_ERR_OPEN : TLX_OK;
}

void ReleaseLink() {
  UnlockSerialPort();
  if (!g_hidHeld) return;
  g_hidHeld = false;
  if (g_device.IsOpen() && g_device.GetType() == TLX_LINK_HID) g_device.Close();
}

int OpenDevice(int port, char bp, int baud) {
  if (port == 0 && g_hidHeld && g_device.IsOpen() && g_device.GetType() == TLX_LINK_HID) {
    if (tlx::WireTraceOn()) tlx::WireTraceNoteOpen(0, 0, 0, g_openIdentity);
    return TLX_OK;
  }
  if (g_device.IsOpen()) {
    tlx::SetLastError("the port is already open for another exchange of this process");
    return TLX_ERR_OPEN;
  }
  if (port < 0) {
    tlx::SetLastError("port %d: no such port (0 is USB, n >= 1 serial port n)", port);
    return TLX_ERR_OPEN;
  }
  if (port == 0) return OpenHidByTable();

  DEVICEPARAM param;
  std::memset(&param, 0, sizeof param);
  param.type = TLX_LINK_SERIAL;
  param.port = port;
  param.baud = baud;
  param.dataBits = 8;
  if (!g_device.Open(param)) return TLX_ERR_OPEN;

  if (IsChannelLetter(bp)) {
    const char selector[4] = {0x1b, '%', bp, 0};
    const long n = g_device.Write(selector, 3);
    if (n < 3) {
      tlx::SetLastError("port %d: the channel selector of BP channel %c was not written", port, bp);
      g_device.Close();
      return TLX_ERR_WRITE;
    }
  }
  tlx::ClearLastError();
  if (tlx::WireTraceOn()) tlx::WireTraceNoteOpen(port, bp, baud, -1);
  return TLX_OK;
}

void CloseDevice(int port, char bp) {
  if (!g_device.IsOpen()) return;
  if (port == 0 && g_hidHeld && g_device.GetType() == TLX_LINK_HID) {
    // Held for the command; a device that went away is let go, and the
    // next step opens afresh.
    if (!g_device.HidGone()) return;
    g_hidHeld = false;
  }
  if (port > 0 && bp != '9') g_device.Write(kChannelReset, static_cast<int>(sizeof kChannelReset - 1));
  g_device.Close();
}

bool IsOpenDevice() { return g_device.IsOpen(); }

int WriteData(int length, char* data) {
  if (data == nullptr || length < 0) return TLX_ERR_WRITE;
  // Length 0 means the string length; compare against that, so that a short
  // write of a text is not taken for success.
  const long expected = length == 0 ? static_cast<long>(std::strlen(data)) : length;
  const long n = g_device.Write(data, length);
  const int rc = n < expected ? TLX_ERR_WRITE : TLX_OK;
  if (tlx::WireTraceOn()) tlx::WireTraceRawWrite(data, static_cast<int>(expected), rc);
  return rc;
}

int ReadData(char* buf, int capacity, EndConditionFn cond, int timeoutMs) {
  if (tlx::WireTraceOn()) return tlx::WireTraceRawRead(buf, capacity, cond, timeoutMs);
  return g_device.Read(buf, capacity, cond, timeoutMs);
}

int GetHidReport() { return g_device.GetHidReportSize(); }

int CancelReadDevice() {
  if (g_device.IsOpen()) g_device.CancelRead();
  return TLX_OK;
}

int FlushPort(int port, char bp, int baud) {
  const int rc = OpenDevice(port, bp, baud);
  if (rc != TLX_OK) return rc;
  g_device.Flush();
  CloseDevice(port, bp);
  return TLX_OK;
}
