// The terminal's text form for binary data: every byte becomes two
// characters, 0x30 + high nibble, then 0x30 + low nibble.
#ifndef TLXSIM_HEXASC1_H
#define TLXSIM_HEXASC1_H

#include <string>

namespace tlxsim {

std::string HexAsc1Encode(const std::string& bytes);
// Decodes pairs of characters. False (and *out untouched) when the length is
// odd or a character lies outside 0x30..0x3F.
bool HexAsc1Decode(const std::string& text, std::string* out);

// Ordinary upper-case hexadecimal text, and its reverse (either case).
std::string ToHex(const std::string& bytes);
bool FromHex(const std::string& text, std::string* out);

}  // namespace tlxsim

#endif
