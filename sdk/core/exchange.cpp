// The exchange: every command reaches the terminal through here. It keeps
// the command guard and its cancel state, holds a command's link, opens
// the device from the link value (with the channel selector / reset of a
// port-sharing unit on serial links), runs one exchange (write, read until
// an end condition holds or the time limit passes), closes again and maps
// the port-layer results to result codes. It also keeps the last-error
// text that TLX_LastErrorText gives, and hands the wire trace what it
// records.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/tlx_internal.h"
#include "port/port.h"

namespace tlx {

// ---- Last error -----------------------------------------------------------

namespace {

thread_local char t_errorText[512];
// One command runs at a time in a process, so one name serves every thread.
char g_linkName[300];

// Failure of an exchange on the open link: port-layer read result (or 0
// with written false for a short write), and the time limit.
void SetExchangeError(bool written, int portResult, int timeoutMs) {
  if (!written) {
    SetLastError("%s: the command was not written in full", g_linkName);
    return;
  }
  switch (portResult) {
    case kPortTimeout:
      SetLastError(
          "%s: no complete reply within %d ms (is a terminal on this port, at this "
          "rate and channel? tlxctl probe finds it)",
          g_linkName, timeoutMs);
      break;
    case kPortGone:
      SetLastError("%s: the device went away (unplugged, or the line hung up)", g_linkName);
      break;
    case kPortCancelled:
      SetLastError("%s: the read was cancelled", g_linkName);
      break;
    default:
      SetLastError("%s: read failed (port result %d)", g_linkName, portResult);
  }
}

}  // namespace

void ClearLastError() { t_errorText[0] = '\0'; }

bool HasLastError() { return t_errorText[0] != '\0'; }

void SetLastError(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::vsnprintf(t_errorText, sizeof t_errorText, fmt, args);
  va_end(args);
}

void NoteLink(const char* name) { std::snprintf(g_linkName, sizeof g_linkName, "%s", name); }

// ---- The command guard and its cancel -------------------------------------

namespace {

std::atomic<unsigned long long> g_state{0};
std::atomic<unsigned long long> g_lastId{0};

unsigned long long Phase(unsigned long long state) { return state % kPhases; }
unsigned long long IdOf(unsigned long long state) { return state / kPhases; }

}  // namespace

CancelToken CommandCancel() { return CancelToken(&g_state); }

bool Cancelled() { return Phase(g_state.load()) == kCancelled; }

int CancelCommand() {
  unsigned long long state = g_state.load();
  const unsigned long long phase = Phase(state);
  if (state == 0 || phase == kFinished) return TLX_ERR_REPLY;
  if (phase == kCancelled) return TLX_OK;
  // One attempt only: when the state moved on meanwhile, this command has
  // finished (or another cancel got there first); the command now running,
  // if any, started after this cancel and is not its target.
  const unsigned long long id = IdOf(state);
  if (g_state.compare_exchange_strong(state, id * kPhases + kCancelled)) return TLX_OK;
  return state == id * kPhases + kCancelled ? TLX_OK : TLX_ERR_REPLY;
}

Command::Command() : id_(g_lastId.fetch_add(1) + 1) {
  ClearLastError();
  unsigned long long expected = 0;
  if (!g_state.compare_exchange_strong(expected, id_ * kPhases + kRunning)) id_ = 0;
}

Command::~Command() {
  if (id_ == 0) return;
  ReleaseLink();
  g_state.store(0);
}

bool Command::Start(const Link& link, int heldPort) {
  if (Busy()) {
    SetLastError("another command of this process is running (one command at a time)");
    return false;
  }
  if (heldPort < 0 || heldPort == link.port) {
    if (HoldLink(link.port) != TLX_OK) return false;
    if (!Cancelled()) FlushLink(link);
    return true;
  }
  // The device opens one link at a time: the flushed port goes first.
  if (!Cancelled()) FlushLink(link);
  return HoldLink(heldPort) == TLX_OK;
}

int Command::Finish(int rc) {
  if (Busy()) return rc;
  // Cancels only ever move a running command to cancelled, so the phase
  // this replaces tells whether one came.
  const unsigned long long before = g_state.exchange(id_ * kPhases + kFinished);
  return Phase(before) == kCancelled ? TLX_ERR_CANCEL : rc;
}

// ---- The device -----------------------------------------------------------

Device& TheDevice() {
  static Device device;
  return device;
}

bool Device::OpenSerial(int port, int baud) {
  if (!serial.Open(port, baud)) return false;
  kind_ = kSerialLink;
  port_ = port;
  return true;
}

bool Device::OpenUsb(unsigned long vendorId, unsigned long productId) {
  if (!usb.Open(vendorId, productId)) return false;
  kind_ = kUsbLink;
  port_ = 0;
  return true;
}

int Device::Read(char* buf, int capacity, EndCondition until, int timeoutMs) {
  if (capacity < 0) return kPortBadArg;
  // A negative timeout counts as 0 rather than as an enormous unsigned value.
  const Deadline deadline(timeoutMs < 0 ? 0UL : static_cast<unsigned long>(timeoutMs));
  return Active().Read(buf, static_cast<unsigned long>(capacity), until, deadline, CommandCancel());
}

long Device::Write(const char* data, int length) {
  // A negative length is refused here; 0 keeps its meaning "up to the NUL".
  if (length < 0) return kPortBadArg;
  return Active().Write(data, static_cast<unsigned long>(length));
}

void Device::Flush() {
  serial.ClearCancel();
  usb.ClearCancel();
  Port* const ports[] = {&serial, &usb};
  for (Port* p : ports)
    if (p->IsOpen()) p->Flush(CommandCancel());
}

void Device::Close() {
  Port* const ports[] = {&serial, &usb};
  for (Port* p : ports)
    if (p->IsOpen()) p->Close();
}

void Device::CancelRead() {
  serial.CancelRead();
  usb.CancelRead();
}

// ---- Opening and closing --------------------------------------------------

namespace {

// The USB link held open (interface claimed) for the running command; its
// exchanges then use that handle instead of opening and closing their own.
std::atomic<bool> g_usbHeld{false};
// The serial port of the running command is locked against other processes.
bool g_serialHeld = false;
// Index of the USB identity that opened last.
int g_openIdentity = -1;

// The serial device name of a link for the trace ("?" when it has none).
const char* TraceDev(const Link& link, char* buf, int cap) {
  if (!link.IsSerial() || !SerialDevicePath(link.port, buf, cap)) std::snprintf(buf, cap, "?");
  return buf;
}

void TraceOpen(const Link& link, int identity) {
  char dev[256];
  WireTraceNoteOpen(link, TraceDev(link, dev, sizeof dev), identity);
}

// TLX_OK, or TLX_ERR_OPEN; *busy (may be null) tells whether an identity
// was found with its interface claimed by another handle.
int OpenUsbByTable(bool* busy = nullptr) {
  if (busy != nullptr) *busy = false;
  Device& device = TheDevice();
  ClearLastError();
  for (int i = 0; i < kUsbIdentityCount; ++i) {
    const UsbIdentity& id = kUsbIdentities[i];
    if (device.OpenUsb(id.vendorId, id.productId)) {
      g_openIdentity = i;
      char name[32];
      std::snprintf(name, sizeof name, "USB %04lx:%04lx", id.vendorId, id.productId);
      NoteLink(name);
      ClearLastError();
      if (WireTraceOn()) TraceOpen(Link{0, 0, 0}, i);
      return TLX_OK;
    }
    if (busy != nullptr && device.usb.ClaimBusy()) *busy = true;
    device.Close();
  }
  // A device that was found but not taken has said why; else none is there.
  if (!HasLastError())
    SetLastError(
        "USB: no terminal found: none of the USB identities 2fb0:0101, "
        "2fb0:0102, 0483:5750 is present (lsusb lists the devices)");
  return TLX_ERR_OPEN;
}

bool UsbHeldOpen() {
  const Device& device = TheDevice();
  return g_usbHeld && device.IsOpen() && device.Kind() == kUsbLink;
}

}  // namespace

int HoldLink(int port) {
  ReleaseLink();
  if (port > 0) {
    const SerialLockResult lock = LockSerialPort(port);
    g_serialHeld = lock == kSerialLocked;
    if (lock != kSerialLockBusy) return TLX_OK;
    char path[256];
    if (SerialDevicePath(port, path, sizeof path)) SetSerialBusyError(path);
    return TLX_ERR_OPEN;
  }
  if (port < 0 || TheDevice().IsOpen()) return TLX_OK;
  bool busy = false;
  if (OpenUsbByTable(&busy) == TLX_OK) {
    g_usbHeld = true;
    return TLX_OK;
  }
  // No terminal at all is left to the exchanges, which report it as before.
  return busy ? TLX_ERR_OPEN : TLX_OK;
}

void ReleaseLink() {
  if (g_serialHeld) UnlockSerialPort();
  g_serialHeld = false;
  if (!g_usbHeld) return;
  const bool open = UsbHeldOpen();
  g_usbHeld = false;
  if (open) TheDevice().Close();
}

int OpenLink(const Link& link) {
  Device& device = TheDevice();
  if (link.IsUsb() && UsbHeldOpen()) {
    if (WireTraceOn()) TraceOpen(link, g_openIdentity);
    return TLX_OK;
  }
  if (device.IsOpen()) {
    SetLastError("the port is already open for another exchange of this process");
    return TLX_ERR_OPEN;
  }
  if (link.port < 0) {
    SetLastError("port %d: no such port (0 is USB, n >= 1 serial port n)", link.port);
    return TLX_ERR_OPEN;
  }
  if (link.IsUsb()) return OpenUsbByTable();

  if (!device.OpenSerial(link.port, link.baud)) return TLX_ERR_OPEN;
  if (link.SelectsChannel()) {
    const char selector[4] = {kChannelSelector[0], kChannelSelector[1], link.bp, 0};
    if (device.Write(selector, 3) < 3) {
      SetLastError("port %d: the channel selector of BP channel %c was not written", link.port,
                   link.bp);
      device.Close();
      return TLX_ERR_WRITE;
    }
  }
  ClearLastError();
  if (WireTraceOn()) TraceOpen(link, -1);
  return TLX_OK;
}

void CloseLink(const Link& link) {
  Device& device = TheDevice();
  if (!device.IsOpen()) return;
  if (link.IsUsb() && g_usbHeld && device.Kind() == kUsbLink) {
    // Held for the command; a device that went away is let go, and the
    // next step opens afresh.
    if (!UsbPort::Gone()) return;
    g_usbHeld = false;
  }
  if (link.ResetsChannel()) device.Write(kChannelReset, static_cast<int>(sizeof kChannelReset - 1));
  device.Close();
}

bool LinkOpen() { return TheDevice().IsOpen(); }

int WriteRaw(const char* data, int length) {
  if (data == nullptr || length < 0) return TLX_ERR_WRITE;
  // Length 0 means the string length; compare against that, so that a short
  // write of a text is not taken for success.
  const long expected = length == 0 ? static_cast<long>(std::strlen(data)) : length;
  const long n = TheDevice().Write(data, length);
  const int rc = n < expected ? TLX_ERR_WRITE : TLX_OK;
  if (WireTraceOn()) WireTraceRawWrite(data, static_cast<int>(expected), rc);
  return rc;
}

int ReadRaw(char* buf, int capacity, EndCondition until, int timeoutMs) {
  if (!WireTraceOn()) return TheDevice().Read(buf, capacity, until, timeoutMs);
  TracedRawRead trace(until, timeoutMs);
  return trace.Done(buf, TheDevice().Read(buf, capacity, trace.Condition(), timeoutMs));
}

void CancelRaw() {
  if (TheDevice().IsOpen()) TheDevice().CancelRead();
}

int FlushLink(const Link& link) {
  const int rc = OpenLink(link);
  if (rc != TLX_OK) return rc;
  TheDevice().Flush();
  CloseLink(link);
  return TLX_OK;
}

// ---- One exchange ---------------------------------------------------------

int PortReadCode(int portResult, int timeoutCode) {
  if (portResult >= 0) return TLX_OK;
  switch (portResult) {
    case kPortTimeout:
    case kPortGone:
      // A device that went away gives what running out of time gives: the
      // caller handles it the same way, and the next command opens afresh.
      return timeoutCode;
    case kPortCancelled:
      return TLX_ERR_CANCEL;
    default:
      // Any other failure: never a length.
      return TLX_ERR_READ;
  }
}

int Transact(const Link& link, const char* cmd, int cmdLen, char* reply, int* replyLen,
             EndCondition until, int timeoutMs) {
  const int length = cmdLen == 0 ? static_cast<int>(std::strlen(cmd)) : cmdLen;
  char dev[256] = "";
  TracedExchange trace(link, WireTraceOn() ? TraceDev(link, dev, sizeof dev) : dev, cmd, length,
                       until, timeoutMs);
  const int rc = OpenLink(link);
  if (rc != TLX_OK) return trace.Done(rc);

  Device& device = TheDevice();
  int result = TLX_OK;
  const bool written = device.Write(cmd, length) >= length;
  trace.Written(written);
  if (!written) {
    result = TLX_ERR_WRITE;
    SetExchangeError(false, 0, timeoutMs);
  } else if (reply != nullptr) {
    const int n = device.Read(reply, *replyLen, trace.Condition(), timeoutMs);
    trace.Read(reply, n);
    result = PortReadCode(n);
    if (result == TLX_OK)
      *replyLen = n;
    else
      SetExchangeError(true, n, timeoutMs);
  }

  CloseLink(link);
  return trace.Done(result);
}

int Exchange(const Link& link, const char* cmd, int cmdLen, char* reply, int cap, int* len,
             EndCondition until, int timeoutMs) {
  std::memset(reply, 0, static_cast<size_t>(cap));
  if (Cancelled()) return TLX_ERR_CANCEL;
  int got = cap - 1;
  const int rc = Transact(link, cmd, cmdLen, reply, &got, until, timeoutMs);
  if (rc == TLX_OK && len != nullptr) *len = got;
  return rc;
}

int SendClosing(const Link& link, const char* cmd, int cmdLen) {
  return Transact(link, cmd, cmdLen, nullptr, nullptr, nullptr, kWriteOnlyMs);
}

int SendOnly(const Link& link, const char* cmd, int cmdLen) {
  if (Cancelled()) return TLX_ERR_CANCEL;
  return SendClosing(link, cmd, cmdLen);
}

}  // namespace tlx

extern "C" TLX_EXPORT const char* TLX_LastErrorText(void) { return tlx::t_errorText; }
