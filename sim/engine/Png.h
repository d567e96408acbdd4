// A minimal PNG writer: 8-bit grayscale, no filtering, deflate "stored"
// blocks (no compression), with the CRC32 and Adler32 checks PNG needs.
#ifndef TLXSIM_PNG_H
#define TLXSIM_PNG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tlxsim {

uint32_t Crc32(const unsigned char* data, size_t n, uint32_t crc = 0);
uint32_t Adler32(const unsigned char* data, size_t n, uint32_t adler = 1);
// pixels: width * height gray values, row by row. Empty on bad sizes.
std::string EncodeGrayPng(int width, int height, const std::vector<uint8_t>& pixels);

}  // namespace tlxsim

#endif
