// Names and explanations of the bytes on the wire, for `tlxctl trace`:
// commands by name with their fields (HexAsc1 fields decoded, packet headers
// and serial block records explained), replies read in the light of the
// command they answer. Key material, PINs, PIN blocks and account numbers
// are never shown, only their lengths, whether or not the trace masked them.
#ifndef TLXCTL_WIRE_NAMES_H
#define TLXCTL_WIRE_NAMES_H

#include <string>

#include "trace/command_table.h"

namespace tlxctl {

struct Described {
  std::string name;    // "online check (model R40)"
  std::string detail;  // fields, may be empty
};

// Reads commands and replies in order, keeping what a reply depends on
// (the last command, the packet being pulled). Commands are known, and
// their secrets found, by the library's command table (trace/command_table.h).
class WireDecoder {
 public:
  Described Command(const std::string& bytes);
  Described Reply(const std::string& bytes);

 private:
  Described Pulled(const std::string& bytes);

  tlx::ReplyKind expect_ = tlx::ReplyKind::Generic;
  long pullRemaining_ = 0;
};

// Bytes as text: printable ASCII as it is, <ESC> <STX> <ETX> <CR> <LF> by
// name, other bytes as \xNN (utf8: bytes from 0x80 up are kept, for text
// already converted to UTF-8, except that the control characters
// U+0080..U+009F are shown as \xNN of their code, so that none of them
// reaches the user's terminal); cut after max characters with the count.
std::string Printable(const std::string& bytes, size_t max = 120, bool utf8 = false);
// HexAsc1 form -> bytes; false when a character is not 0x30..0x3F or the
// count is odd.
bool DecodeHexAsc1(const std::string& text, std::string* out);

}  // namespace tlxctl

#endif
