// The system-level cause of the calling thread's last failure, as a text
// for TLX_LastErrorText: the device, the errno or libusb error name and,
// for the common cases, what to do about it. Set where the transport meets
// the system; cleared when a command starts and when a link opens.
#ifndef TLX_TRANSPORT_LAST_ERROR_H
#define TLX_TRANSPORT_LAST_ERROR_H

namespace tlx {

void ClearLastError();
// Replaces the text (printf format; cut to the buffer).
void SetLastError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
bool HasLastError();
// "EACCES (Permission denied)"; "errno N (...)" for names not in the table.
const char* ErrnoText(int err, char* buf, int cap);
// Failure to open the tty at path with errno err, with the hint for it.
void SetSerialOpenError(const char* path, int err);
// The tty at path is locked by another process.
void SetSerialBusyError(const char* path);

// The link opened last ("/dev/ttyS0", "USB 2fb0:0101"), named in the texts
// of failures that come after the open.
void NoteLink(const char* name);
const char* LinkName();
// Failure of an exchange on the open link: port-layer read result (or 0
// with written false for a short write), and the time limit.
void SetExchangeError(bool written, int portResult, int timeoutMs);

}  // namespace tlx

#endif
