// The HexAsc1 and hex text conversions with destination areas of exactly
// the size they need, one byte less and one byte more: nothing may be
// written past the capacity given.
#include <cstdint>

#include "compat/util.h"
#include "fuzz_support.h"

namespace {

typedef int (*Conversion)(char*, int, char*, int);

// Bytes a conversion writes for n input bytes when the area is big enough.
long NeedOf(Conversion fn, long n) {
  if (fn == HexAsc1Split || fn == AsciiToHexStr) return 2 * n;
  if (fn == HexAsc1Merge || fn == HexStrToAscii) return (n + 1) / 2;
  if (fn == HexToBCD) return 2 * ((n + 1) / 2);
  return 2 * ((n + 1) / 2);  // BCDToHex
}

void Run(Conversion fn, const char* name, const uint8_t* data, size_t size, int slack) {
  std::unique_ptr<char[]> src = fuzz::Exact(size, data, size);
  const long need = NeedOf(fn, static_cast<long>(size));
  const long cap = need + slack < 0 ? 0 : need + slack;
  std::unique_ptr<char[]> dst = fuzz::Exact(static_cast<size_t>(cap));
  const int n = fn(src.get(), static_cast<int>(size), dst.get(), static_cast<int>(cap));
  fuzz::Check(n >= 0 && n <= cap, name, n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  const int slack = static_cast<int>(data[0] % 3) - 1;  // -1, 0, +1
  ++data;
  --size;
  Run(HexAsc1Split, "HexAsc1Split", data, size, slack);
  Run(HexAsc1Merge, "HexAsc1Merge", data, size, slack);
  Run(AsciiToHexStr, "AsciiToHexStr", data, size, slack);
  Run(HexStrToAscii, "HexStrToAscii", data, size, slack);
  Run(HexToBCD, "HexToBCD", data, size, slack);
  Run(BCDToHex, "BCDToHex", data, size, slack);
  return 0;
}
