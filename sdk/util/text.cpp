// Text helpers: the letters-and-digits test and splitting a string at a
// delimiter. GBK text is util/gbk_text's.
#include "util/convert.h"

namespace tlx {

bool IsLettersAndDigits(const char* s) {
  if (s == nullptr) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p != 0; ++p) {
    const bool alnum =
        (*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z');
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
