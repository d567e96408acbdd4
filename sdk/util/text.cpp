// Text helpers: GBK to 16-bit Unicode units, the letters-and-digits test
// and splitting a string at a delimiter.
#include <cstring>

#include "util/gbk_tables.h"
#include "util/convert.h"

namespace tlx {

int GbkToUnicode(const char* src, int dstBytes, char* dst) {
  if (src == nullptr || dst == nullptr || dstBytes <= 0) return 0;
  const int capacity = dstBytes / 2;
  if (capacity == 0) return 0;

  int units = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(src);
  while (*p != 0 && units < capacity) {
    unsigned short unit;
    if (*p <= 0x80) {
      unit = *p;
      ++p;
    } else {
      if (p[1] == 0) break;
      const unsigned int code = (static_cast<unsigned int>(p[0]) << 8) | p[1];
      p += 2;
      if (code < gbk_first_code || code > gbk_last_code) continue;
      unit = unicodeTables[code - gbk_first_code];
    }
    std::memcpy(dst + 2 * units, &unit, sizeof unit);
    ++units;
  }
  return units;
}

bool IsLettersAndDigits(const char* s) {
  if (s == nullptr) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p != 0; ++p) {
    const bool alnum = (*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'Z') ||
                       (*p >= 'a' && *p <= 'z');
    if (!alnum) return false;
  }
  return true;
}

// Leading delimiter characters are skipped only at the very start; then the
// text is cut at every occurrence of the whole delimiter string, keeping
// empty parts. A text of nothing but delimiter characters gives no part; an
// empty delimiter gives the text as one part.
int SplitString(const std::string& s, std::vector<std::string>& parts, const std::string& delim) {
  if (s.empty()) return 0;
  if (delim.empty()) {
    parts.push_back(s);
    return 1;
  }
  std::string::size_type pos = s.find_first_not_of(delim);
  if (pos == std::string::npos) return 0;

  int count = 0;
  for (;;) {
    const std::string::size_type hit = s.find(delim, pos);
    if (hit == std::string::npos) {
      parts.push_back(s.substr(pos));
      return count + 1;
    }
    parts.push_back(s.substr(pos, hit - pos));
    ++count;
    pos = hit + delim.size();
  }
}

}  // namespace tlx
