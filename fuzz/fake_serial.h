// A serial line double for the fuzz targets, built on the linker's --wrap
// of open, read, write and ioctl: opening the device path of port
// kFakeSerialPort (TLX_SERIAL_PATH points at it) gives a descriptor of a
// private scratch file that the library takes for its tty. Every command the
// host writes (anything but a channel selector or reset) lets the next reply
// of the script be read, in pieces of the script's chosen size. A read that
// finds nothing gives 0 (a quiet line) until the host has written something
// in the current open; after that, or once the script is used up, the line
// has failed (EIO), which ends the library's waiting read at once, so no
// input ever waits out a timeout.
#ifndef TLX_FUZZ_FAKE_SERIAL_H
#define TLX_FUZZ_FAKE_SERIAL_H

#include <cstddef>
#include <string>
#include <vector>

namespace fakeserial {

enum { kFakeSerialPort = 1 };

// Points TLX_SERIAL_PATH at the double (once per process).
void Install();
// The replies, in order; each read hands over at most `piece` bytes (0:
// as many as asked for).
void SetReplies(const std::vector<std::string>& replies, size_t piece = 0);
// Bytes the host wrote since SetReplies.
size_t BytesWritten();

}  // namespace fakeserial

#endif
