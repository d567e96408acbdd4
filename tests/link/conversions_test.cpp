// Bytes <-> HexAsc1 form <-> hex text, with capacities and odd lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compat/util.h"

namespace {

// Output area with guard bytes: anything written at or past `cap` shows.
struct Out {
  explicit Out(int cap) : cap(cap) { std::memset(buf, '#', sizeof buf); }
  std::string str(int n) const { return std::string(buf, static_cast<size_t>(n)); }
  bool guardIntact() const {
    for (size_t i = static_cast<size_t>(cap); i < sizeof buf; ++i)
      if (buf[i] != '#') return false;
    return true;
  }
  int cap;
  char buf[64];
};

char* C(std::string& s) { return &s[0]; }

}  // namespace

TEST(HexAsc1, SplitWritesTwoCharactersPerByteAllOrNothing) {
  std::string src = "\x1a\xf0";
  Out out(4);
  EXPECT_EQ(HexAsc1Split(C(src), 2, out.buf, out.cap), 4);
  EXPECT_EQ(out.str(4), "1:?0");
  EXPECT_TRUE(out.guardIntact());

  Out small(3);
  EXPECT_EQ(HexAsc1Split(C(src), 2, small.buf, small.cap), 0);
  EXPECT_EQ(small.buf[0], '#') << "nothing written when it does not fit";

  std::string all = std::string("\x00\x09\x0a\x0f\x10\x99\xff", 7);
  Out wide(14);
  EXPECT_EQ(HexAsc1Split(C(all), 7, wide.buf, wide.cap), 14);
  EXPECT_EQ(wide.str(14), "00090:0?1099??");

  EXPECT_EQ(HexAsc1Split(C(src), -1, out.buf, 64), 0);
  EXPECT_EQ(HexAsc1Split(C(src), 2, out.buf, -8), 0);
  EXPECT_EQ(HexAsc1Split(nullptr, 2, out.buf, 64), 0);
  EXPECT_EQ(HexAsc1Split(C(src), 2, nullptr, 64), 0);
  EXPECT_EQ(HexAsc1Split(C(src), 0x40000001, out.buf, 64), 0) << "2*srcLen must not overflow";
}

TEST(HexAsc1, MergeTakesPairsAndRefusesTooSmallOutput) {
  std::string src = "1:?0";
  Out out(2);
  EXPECT_EQ(HexAsc1Merge(C(src), 4, out.buf, out.cap), 2);
  EXPECT_EQ(out.str(2), "\x1a\xf0");
  EXPECT_TRUE(out.guardIntact());

  Out small(1);
  EXPECT_EQ(HexAsc1Merge(C(src), 4, small.buf, small.cap), 0);
  EXPECT_EQ(small.buf[0], '#');

  EXPECT_EQ(HexAsc1Merge(C(src), -4, out.buf, 64), 0);
  EXPECT_EQ(HexAsc1Merge(C(src), 4, out.buf, 0), 0);
  EXPECT_EQ(HexAsc1Merge(nullptr, 4, out.buf, 64), 0);
}

TEST(HexAsc1, MergeOfOddLengthGivesTheLastHalfAByteOfItsOwn) {
  std::string src = "1:3";
  Out out(2);
  EXPECT_EQ(HexAsc1Merge(C(src), 3, out.buf, out.cap), 2);
  EXPECT_EQ(out.str(2), "\x1a\x30");
  EXPECT_TRUE(out.guardIntact());
  Out exact(1);
  EXPECT_EQ(HexAsc1Merge(C(src), 3, exact.buf, exact.cap), 0) << "needs (3+1)/2 bytes";
}

TEST(HexAsc1, RoundTripOfEveryByteValue) {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
  std::string text(512, '\0');
  ASSERT_EQ(HexAsc1Split(C(bytes), 256, C(text), 512), 512);
  for (char c : text) ASSERT_TRUE(c >= 0x30 && c <= 0x3f);
  std::string back(256, '\0');
  ASSERT_EQ(HexAsc1Merge(C(text), 512, C(back), 256), 256);
  EXPECT_EQ(back, bytes);
}

TEST(HexText, AsciiToHexStrIsUpperCaseAndStopsAtCapacity) {
  std::string src("\x00\x9f\xa0\xff", 4);
  Out out(8);
  EXPECT_EQ(AsciiToHexStr(C(src), 4, out.buf, out.cap), 8);
  EXPECT_EQ(out.str(8), "009FA0FF");
  EXPECT_TRUE(out.guardIntact());

  Out three(3);
  EXPECT_EQ(AsciiToHexStr(C(src), 4, three.buf, three.cap), 2) << "only whole bytes";
  EXPECT_EQ(three.str(2), "00");
  EXPECT_TRUE(three.guardIntact());
  EXPECT_EQ(AsciiToHexStr(nullptr, 4, out.buf, 8), 0);
  EXPECT_EQ(AsciiToHexStr(C(src), -2, out.buf, 8), 0);
}

TEST(HexText, HexStrToAsciiEitherCaseAndOddLength) {
  std::string src = "1a2B";
  Out out(2);
  EXPECT_EQ(HexStrToAscii(C(src), 4, out.buf, out.cap), 2);
  EXPECT_EQ(out.str(2), "\x1a\x2b");
  EXPECT_TRUE(out.guardIntact());

  // The last digit of an odd text pairs with a NUL counted as -0x30:
  // (0x0C * 16 + 0xD0) mod 256 = 0x90.
  std::string odd = "ABC";
  Out two(2);
  EXPECT_EQ(HexStrToAscii(C(odd), 3, two.buf, two.cap), 2);
  EXPECT_EQ(two.str(2), "\xab\x90");
  EXPECT_TRUE(two.guardIntact());

  Out one(1);
  EXPECT_EQ(HexStrToAscii(C(odd), 3, one.buf, one.cap), 1) << "stops at the capacity";
  EXPECT_EQ(one.str(1), "\xab");
  EXPECT_TRUE(one.guardIntact());

  EXPECT_EQ(HexStrToAscii(C(odd), 3, one.buf, 0), 0);
  EXPECT_EQ(HexStrToAscii(C(odd), -3, one.buf, 8), 0);
  EXPECT_EQ(HexStrToAscii(nullptr, 3, one.buf, 8), 0);
}

TEST(HexText, HexToBCDAndBCDToHexConvertBetweenTheTwoTextForms) {
  std::string hexAsc1 = "1:?0";
  Out text(8);
  EXPECT_EQ(HexToBCD(C(hexAsc1), 4, text.buf, text.cap), 4);
  EXPECT_EQ(text.str(4), "1AF0");
  EXPECT_TRUE(text.guardIntact());

  std::string hex = "1AF0";
  Out back(4);
  EXPECT_EQ(BCDToHex(C(hex), 4, back.buf, back.cap), 4);
  EXPECT_EQ(back.str(4), "1:?0");
  EXPECT_TRUE(back.guardIntact());

  Out small(3);
  EXPECT_EQ(BCDToHex(C(hex), 4, small.buf, small.cap), 0) << "all or nothing";
  EXPECT_EQ(small.buf[0], '#');
  Out cut(2);
  EXPECT_EQ(HexToBCD(C(hexAsc1), 4, cut.buf, cut.cap), 2) << "whole bytes that fit";
  EXPECT_EQ(cut.str(2), "1A");
  EXPECT_TRUE(cut.guardIntact());
  EXPECT_EQ(HexToBCD(C(hexAsc1), -1, cut.buf, 8), 0);
  EXPECT_EQ(BCDToHex(nullptr, 4, cut.buf, 8), 0);
}

TEST(SecureWipe, ZeroesTheGivenBytesOnly) {
  char key[24];
  std::memset(key, 0x5a, sizeof key);
  SecureWipe(key + 4, 16);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(key[i], (i >= 4 && i < 20) ? 0 : 0x5a) << i;
  SecureWipe(nullptr, 16);  // tolerated
}
