#include "HexAsc1.h"

namespace tlxsim {

std::string HexAsc1Encode(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out.push_back(static_cast<char>(0x30 + (b >> 4)));
    out.push_back(static_cast<char>(0x30 + (b & 0x0F)));
  }
  return out;
}

bool HexAsc1Decode(const std::string& text, std::string* out) {
  if (text.size() % 2 != 0) return false;
  std::string r;
  r.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned char hi = static_cast<unsigned char>(text[i]);
    unsigned char lo = static_cast<unsigned char>(text[i + 1]);
    if (hi < 0x30 || hi > 0x3F || lo < 0x30 || lo > 0x3F) return false;
    r.push_back(static_cast<char>(((hi - 0x30) << 4) | (lo - 0x30)));
  }
  *out = std::move(r);
  return true;
}

std::string ToHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(const std::string& text, std::string* out) {
  if (text.size() % 2 != 0) return false;
  std::string r;
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    r.push_back(static_cast<char>((hi << 4) | lo));
  }
  *out = std::move(r);
  return true;
}

}  // namespace tlxsim
