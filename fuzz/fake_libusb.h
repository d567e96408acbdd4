// A libusb double for the fuzz targets: one device that is always there and
// answers every IN transfer with the next report of a script of replies.
// When the script is used up the device is gone (LIBUSB_ERROR_NO_DEVICE),
// which ends the library's waiting read at once, so no input ever waits out
// a timeout.
#ifndef TLX_FUZZ_FAKE_LIBUSB_H
#define TLX_FUZZ_FAKE_LIBUSB_H

#include <cstddef>
#include <string>
#include <vector>

namespace fakeusb {

// Replies the terminal gives, in order; each is sent as whole 1024-byte
// reports (zero padded), an empty reply as one report of zeros. `endless`:
// when used up they start again, for ever (a terminal that never stops).
void SetReplies(const std::vector<std::string>& replies, bool endless = false);
// Bytes of the OUT reports written since SetReplies (padding included).
size_t BytesWritten();

}  // namespace fakeusb

#endif
