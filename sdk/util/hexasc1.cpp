// HexAsc1 form: the terminal's text form of binary data, two characters
// 0x30 + nibble per byte, high half first ('0'..'9', ':'..'?').
#include "util/convert.h"

namespace tlx {

int HexAsc1Split(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen < 0 || dstCap < 0) return 0;
  if (2L * srcLen > dstCap) return 0;
  for (int i = 0; i < srcLen; ++i) {
    const unsigned char b = static_cast<unsigned char>(src[i]);
    dst[2 * i] = static_cast<char>(0x30 + (b >> 4));
    dst[2 * i + 1] = static_cast<char>(0x30 + (b & 0x0F));
  }
  return 2 * srcLen;
}

// Characters are taken in pairs; nothing is validated, so only 0x30..0x3F
// give meaningful bytes. With an odd srcLen the last character forms a byte
// of its own with a low half of 0.
int HexAsc1Merge(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen <= 0 || dstCap <= 0) return 0;
  const long bytes = (static_cast<long>(srcLen) + 1) / 2;
  if (bytes > dstCap) return 0;
  for (long i = 0; i < bytes; ++i) {
    const int hi = ((static_cast<unsigned char>(src[2 * i]) - 0x30) & 0x0F) << 4;
    const int lo = 2 * i + 1 < srcLen ? static_cast<unsigned char>(src[2 * i + 1]) - 0x30 : 0;
    dst[i] = static_cast<char>((hi + lo) & 0xFF);
  }
  return static_cast<int>(bytes);
}

}  // namespace tlx
