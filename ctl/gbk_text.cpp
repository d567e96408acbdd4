#include "gbk_text.h"

#include <cstdio>

#include "util/gbk_text.h"

namespace tlxctl {

namespace {

// Decodes one UTF-8 character at in[*i]; false for a malformed sequence.
bool NextCodePoint(const std::string& in, size_t* i, unsigned long* cp) {
  const unsigned char c = static_cast<unsigned char>(in[*i]);
  int extra;
  unsigned long v;
  if (c < 0x80) {
    *cp = c;
    ++*i;
    return true;
  } else if ((c & 0xE0) == 0xC0) {
    extra = 1;
    v = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    v = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    v = c & 0x07;
  } else {
    return false;
  }
  if (*i + static_cast<size_t>(extra) >= in.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char t = static_cast<unsigned char>(in[*i + static_cast<size_t>(k)]);
    if ((t & 0xC0) != 0x80) return false;
    v = (v << 6) | (t & 0x3F);
  }
  static const unsigned long kMin[] = {0, 0x80, 0x800, 0x10000};
  if (v < kMin[extra] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
  *i += static_cast<size_t>(extra) + 1;
  *cp = v;
  return true;
}

void AppendUtf8(unsigned long cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool Utf8ToGbk(const std::string& in, std::string* out, std::string* problem) {
  out->clear();
  for (size_t i = 0; i < in.size();) {
    const size_t at = i;
    unsigned long cp = 0;
    if (!NextCodePoint(in, &i, &cp)) {
      *problem = "the text is not UTF-8 (byte " + std::to_string(at + 1) + ")";
      return false;
    }
    if (cp < 0x80) {
      *out += static_cast<char>(cp);
      continue;
    }
    const unsigned code = tlx::GbkEncode(cp);
    if (code == 0) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "character U+%04lX has no GBK code", cp);
      *problem = buf;
      return false;
    }
    *out += static_cast<char>(code >> 8);
    *out += static_cast<char>(code & 0xFF);
  }
  return true;
}

std::string GbkToUtf8(const std::string& in) {
  std::string out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in.data());
  for (size_t i = 0; i < in.size();) {
    const tlx::GbkChar c = tlx::GbkDecode(p + i, in.size() - i);
    i += static_cast<size_t>(c.bytes);
    const bool shown = c.kind == tlx::GbkChar::Single || c.kind == tlx::GbkChar::Pair;
    AppendUtf8(shown ? c.unit : 0xFFFD, &out);
  }
  return out;
}

}  // namespace tlxctl
