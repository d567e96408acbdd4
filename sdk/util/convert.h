// The terminal's text forms of binary data and the text helpers. No
// function writes a terminator unless its description says so; callers
// hand in zero-filled buffers.
#ifndef TLX_UTIL_CONVERT_H
#define TLX_UTIL_CONVERT_H

#include <string>
#include <vector>

namespace tlx {

// Bytes -> HexAsc1 form (two characters 0x30+nibble per byte). All or
// nothing: 0 when dst cannot take it.
int HexAsc1Split(const char* src, int srcLen, char* dst, int dstCap);
// HexAsc1 form -> bytes.
int HexAsc1Merge(const char* src, int srcLen, char* dst, int dstCap);
// Bytes -> upper-case hex text.
int AsciiToHexStr(const char* src, int srcLen, char* dst, int dstCap);
// Hex text (either case) -> bytes.
int HexStrToAscii(const char* src, int srcLen, char* dst, int dstCap);
// HexAsc1 form -> hex text.
int HexToBCD(const char* src, int srcLen, char* dst, int dstCap);
// Hex text -> HexAsc1 form.
int BCDToHex(const char* src, int srcLen, char* dst, int dstCap);

// True when s holds only ASCII letters and digits.
bool IsLettersAndDigits(const char* s);
// Appends the parts of s between occurrences of delim; gives their count.
int SplitString(const std::string& s, std::vector<std::string>& parts, const std::string& delim);

}  // namespace tlx

#endif
