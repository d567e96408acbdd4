// GBK text to 16-bit Unicode units into an area of the byte size the input
// names (odd sizes included): never more units than fit.
#include <cstdint>

#include "compat/util.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 8192) return 0;
  const int dstBytes = (data[0] << 8 | data[1]) % 4099;
  std::unique_ptr<char[]> src = fuzz::Text(data + 2, size - 2);
  std::unique_ptr<char[]> dst = fuzz::Exact(static_cast<size_t>(dstBytes));
  const int units = ANSIToUTF8(src.get(), dstBytes, dst.get());
  fuzz::Check(units >= 0 && 2L * units <= dstBytes, "units fit the area", units);
  fuzz::Check(static_cast<size_t>(units) <= size - 2, "at most one unit per byte", units);
  return 0;
}
