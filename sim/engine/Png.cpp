#include "Png.h"

#include <algorithm>

namespace tlxsim {

uint32_t Crc32(const unsigned char* data, size_t n, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = [] {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    return true;
  }();
  (void)ready;
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const unsigned char* data, size_t n, uint32_t adler) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  for (size_t i = 0; i < n; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

namespace {

void Put32(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v >> 24));
  out->push_back(static_cast<char>(v >> 16));
  out->push_back(static_cast<char>(v >> 8));
  out->push_back(static_cast<char>(v));
}

void Chunk(std::string* png, const char* type, const std::string& data) {
  Put32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png->append(body);
  Put32(png, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

}  // namespace

std::string EncodeGrayPng(int width, int height, const std::vector<uint8_t>& pixels) {
  if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) return {};
  // Scanlines, each preceded by filter type 0.
  std::string raw;
  raw.reserve(size_t(height) * (size_t(width) + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(&pixels[size_t(y) * size_t(width)]), size_t(width));
  }
  // zlib stream: header, stored blocks of at most 65535 bytes, Adler32.
  std::string z("\x78\x01", 2);
  size_t off = 0;
  do {
    size_t len = std::min<size_t>(65535, raw.size() - off);
    bool last = off + len == raw.size();
    z.push_back(last ? '\x01' : '\x00');
    z.push_back(static_cast<char>(len & 0xFF));
    z.push_back(static_cast<char>(len >> 8));
    z.push_back(static_cast<char>(~len & 0xFF));
    z.push_back(static_cast<char>((~len >> 8) & 0xFF));
    z.append(raw, off, len);
    off += len;
  } while (off < raw.size());
  Put32(&z, Adler32(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()));

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  Put32(&ihdr, uint32_t(width));
  Put32(&ihdr, uint32_t(height));
  ihdr += std::string("\x08\x00\x00\x00\x00", 5);  // 8 bit, gray, deflate, filter 0, no interlace
  Chunk(&png, "IHDR", ihdr);
  Chunk(&png, "IDAT", z);
  Chunk(&png, "IEND", std::string());
  return png;
}

}  // namespace tlxsim
