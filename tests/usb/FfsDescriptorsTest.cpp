// The bytes the gadget writes to FunctionFS's ep0, checked field by field.
#include <gtest/gtest.h>

#include <cstdint>

#include "FfsDescriptors.h"

namespace tlxsim {
namespace {

uint32_t Le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}
unsigned U8(const std::string& s, size_t at) { return static_cast<uint8_t>(s[at]); }
unsigned Le16(const std::string& s, size_t at) { return U8(s, at) | U8(s, at + 1) << 8; }

TEST(FfsDescriptors, HeaderAndBothSpeeds) {
  const std::string d = FfsDescriptors();
  ASSERT_EQ(20u + 2 * 32u, d.size());
  EXPECT_EQ(3u, Le32(d, 0));        // v2 magic
  EXPECT_EQ(d.size(), Le32(d, 4));  // length
  EXPECT_EQ(1u | 2u, Le32(d, 8));   // full and high speed
  EXPECT_EQ(4u, Le32(d, 12));
  EXPECT_EQ(4u, Le32(d, 16));
  const unsigned packets[2] = {64, 512};
  for (int speed = 0; speed < 2; ++speed) {
    const size_t at = 20 + 32 * speed;
    // Interface 0, two endpoints, class HID.
    EXPECT_EQ(9u, U8(d, at));
    EXPECT_EQ(4u, U8(d, at + 1));
    EXPECT_EQ(0u, U8(d, at + 2));
    EXPECT_EQ(2u, U8(d, at + 4));
    EXPECT_EQ(3u, U8(d, at + 5));
    // HID class descriptor: 9 bytes, HID 1.11, one report descriptor.
    EXPECT_EQ(9u, U8(d, at + 9));
    EXPECT_EQ(0x21u, U8(d, at + 10));
    EXPECT_EQ(0x0111u, Le16(d, at + 11));
    EXPECT_EQ(1u, U8(d, at + 14));
    EXPECT_EQ(0x22u, U8(d, at + 15));
    EXPECT_EQ(HidReportDescriptor().size(), Le16(d, at + 16));
    // Bulk IN 0x81 and bulk OUT 0x02.
    EXPECT_EQ(7u, U8(d, at + 18));
    EXPECT_EQ(5u, U8(d, at + 19));
    EXPECT_EQ(0x81u, U8(d, at + 20));
    EXPECT_EQ(2u, U8(d, at + 21));
    EXPECT_EQ(packets[speed], Le16(d, at + 22));
    EXPECT_EQ(0x02u, U8(d, at + 27));
    EXPECT_EQ(2u, U8(d, at + 28));
    EXPECT_EQ(packets[speed], Le16(d, at + 29));
  }
}

TEST(FfsDescriptors, StringsAndReportDescriptor) {
  const std::string s = FfsStrings();
  ASSERT_EQ(16u, s.size());
  EXPECT_EQ(2u, Le32(s, 0));
  EXPECT_EQ(16u, Le32(s, 4));
  EXPECT_EQ(0u, Le32(s, 8));
  EXPECT_EQ(0u, Le32(s, 12));
  // Vendor page, 1024 one-byte input and output items, collection closed.
  const std::string r = HidReportDescriptor();
  EXPECT_EQ(std::string("\x06\x00\xff", 3), r.substr(0, 3));
  EXPECT_EQ(std::string("\x96\x00\x04\x09\x01\x81\x02", 7), r.substr(14, 7));
  EXPECT_EQ(std::string("\x96\x00\x04\x09\x01\x91\x02", 7), r.substr(21, 7));
  EXPECT_EQ(0xC0u, U8(r, r.size() - 1));
}

}  // namespace
}  // namespace tlxsim
