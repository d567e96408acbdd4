#include "util/gbk_text.h"

#include <cstring>

#include "util/gbk_tables.h"

namespace tlx {

GbkChar GbkDecode(const unsigned char* p, size_t n) {
  if (p[0] <= 0x80) return {GbkChar::Single, p[0], 1};
  if (n < 2) return {GbkChar::Truncated, 0, 1};
  const unsigned code = (static_cast<unsigned>(p[0]) << 8) | p[1];
  if (code < gbk_first_code || code > gbk_last_code) return {GbkChar::OutOfRange, 0, 2};
  const unsigned short unit = unicodeTables[code - gbk_first_code];
  return {unit != 0 ? GbkChar::Pair : GbkChar::Unassigned, unit, 2};
}

int GbkToUnits(const char* src, int dstBytes, char* dst) {
  if (src == nullptr || dst == nullptr || dstBytes <= 0) return 0;
  const int capacity = dstBytes / 2;
  int units = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(src);
  while (*p != 0 && units < capacity) {
    // p[1] is the next byte or the terminator.
    const GbkChar c = GbkDecode(p, p[1] != 0 ? 2 : 1);
    if (c.kind == GbkChar::Truncated) break;
    p += c.bytes;
    if (c.kind == GbkChar::OutOfRange) continue;
    std::memcpy(dst + 2 * units, &c.unit, sizeof c.unit);
    ++units;
  }
  return units;
}

unsigned GbkEncode(unsigned long cp) {
  if (cp < 0x80) return static_cast<unsigned>(cp);
  if (cp == 0x80 || cp > 0xFFFF) return 0;
  if (cp >= unicode_first_code && cp <= unicode_last_code) {
    const unsigned code = gbkTables[cp - unicode_first_code];
    if (code != 0) return code;
  }
  // Punctuation and other characters of the two-byte area: the reverse table.
  for (unsigned k = 0; k < unicode_buf_size; ++k)
    if (unicodeTables[k] == cp) return gbk_first_code + k;
  return 0;
}

}  // namespace tlx
