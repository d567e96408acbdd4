// The generated GBK <-> Unicode tables.
#include <gtest/gtest.h>

#include "util/gbk_tables.h"

namespace {
unsigned short CodePoint(unsigned code) { return unicodeTables[code - gbk_first_code]; }
}  // namespace

TEST(GbkTables, SizesAndRanges) {
  EXPECT_EQ(gbk_first_code, 0x8140);
  EXPECT_EQ(gbk_last_code, 0xFE9F);
  EXPECT_EQ(unicode_buf_size, 32096);
  EXPECT_EQ(unicode_first_code, 0x4E00);
  EXPECT_EQ(unicode_last_code, 0x9FA5);
  EXPECT_EQ(gbk_buf_size, 20902);
}

TEST(GbkTables, MappedCodesAndZeroEntries) {
  int nonZero = 0;
  for (unsigned k = 0; k < unicode_buf_size; ++k) {
    const unsigned code = gbk_first_code + k;
    const unsigned trail = code & 0xFF;
    const bool validTrail = trail >= 0x40 && trail != 0x7F && trail != 0xFF;
    if (unicodeTables[k] != 0) ++nonZero;
    EXPECT_EQ(unicodeTables[k] != 0, validTrail) << std::hex << code;
  }
  EXPECT_EQ(nonZero, 23845);

  EXPECT_EQ(CodePoint(0xB0A1), 0x554A);
  EXPECT_EQ(CodePoint(0xA1A1), 0x3000);
  EXPECT_EQ(CodePoint(0xA2E3), 0x20AC);
  EXPECT_EQ(CodePoint(0xAAA1), 0xE000);
  EXPECT_EQ(CodePoint(0x8140), 0x4E02);
  EXPECT_EQ(CodePoint(0x817F), 0);
}

TEST(GbkTables, IdeographsMapBothWays) {
  EXPECT_EQ(gbkTables[0], 0xD2BB);
  EXPECT_EQ(gbkTables[0x554A - 0x4E00], 0xB0A1);
  for (unsigned k = 0; k < gbk_buf_size; ++k) {
    const unsigned code = gbkTables[k];
    ASSERT_NE(code, 0u) << k;
    ASSERT_GE(code, gbk_first_code);
    ASSERT_LE(code, gbk_last_code);
    ASSERT_EQ(CodePoint(code), unicode_first_code + k) << std::hex << code;
  }
}
