// Ordinary hexadecimal text (upper case when produced, either case when
// read) and the two conversions between hex text and HexAsc1 form.
#include <cstdlib>

#include "util/convert.h"

namespace tlx {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Value of one hex character as the terminal's tools have always taken it:
// upper-cased, above 0x40 counts as value - 0x37, anything else as value -
// 0x30 (the missing partner of an odd-length text is NUL, i.e. -0x30).
int DigitValue(unsigned char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  return c > 0x40 ? c - 0x37 : c - 0x30;
}

}  // namespace

int AsciiToHexStr(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen <= 0 || dstCap <= 0) return 0;
  int written = 0;
  for (int i = 0; i < srcLen && written + 2 <= dstCap; ++i) {
    const unsigned char b = static_cast<unsigned char>(src[i]);
    dst[written++] = kHexDigits[b >> 4];
    dst[written++] = kHexDigits[b & 0x0F];
  }
  return written;
}

int HexStrToAscii(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen <= 0 || dstCap <= 0) return 0;
  int written = 0;
  for (int i = 0; i < srcLen && written < dstCap; i += 2) {
    const int hi = DigitValue(static_cast<unsigned char>(src[i]));
    const int lo = i + 1 < srcLen ? DigitValue(static_cast<unsigned char>(src[i + 1])) : -0x30;
    dst[written++] = static_cast<char>((((hi & 0x0F) << 4) + lo) & 0xFF);
  }
  return written;
}

int HexToBCD(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen <= 0 || dstCap <= 0) return 0;
  const int bytes = static_cast<int>((static_cast<long>(srcLen) + 1) / 2);
  char* tmp = static_cast<char*>(std::calloc(static_cast<size_t>(bytes), 1));
  if (tmp == nullptr) return 0;
  const int n = HexAsc1Merge(src, srcLen, tmp, bytes);
  const int written = AsciiToHexStr(tmp, n, dst, dstCap);
  std::free(tmp);
  return written;
}

int BCDToHex(const char* src, int srcLen, char* dst, int dstCap) {
  if (src == nullptr || dst == nullptr || srcLen <= 0 || dstCap <= 0) return 0;
  const int bytes = static_cast<int>((static_cast<long>(srcLen) + 1) / 2);
  char* tmp = static_cast<char*>(std::calloc(static_cast<size_t>(bytes), 1));
  if (tmp == nullptr) return 0;
  const int n = HexStrToAscii(src, srcLen, tmp, bytes);
  const int written = HexAsc1Split(tmp, n, dst, dstCap);
  std::free(tmp);
  return written;
}

}  // namespace tlx
