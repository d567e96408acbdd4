// GBK text to Unicode units, character class test, string splitting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compat/util.h"

namespace {

struct Units {
  int count;
  std::vector<unsigned short> units;
  bool guardIntact;
};

Units Convert(const char* src, int dstBytes) {
  unsigned char dst[64];
  std::memset(dst, 0xEE, sizeof dst);
  Units r;
  r.count = ANSIToUTF8(src, dstBytes, reinterpret_cast<char*>(dst));
  for (int i = 0; i < r.count; ++i) {
    unsigned short u;
    std::memcpy(&u, dst + 2 * i, 2);
    r.units.push_back(u);
  }
  r.guardIntact = true;
  for (size_t i = static_cast<size_t>(r.count) * 2; i < sizeof dst; ++i)
    if (dst[i] != 0xEE) r.guardIntact = false;
  return r;
}

std::vector<std::string> Split(const std::string& s, const std::string& delim, int* count) {
  std::vector<std::string> parts;
  *count = SplitString(s, parts, delim);
  return parts;
}

}  // namespace

TEST(ANSIToUTF8, ConvertsGbkToUnits) {
  Units r = Convert("\x41\xb0\xa1", 64);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(r.units, (std::vector<unsigned short>{0x0041, 0x554A}));
  EXPECT_TRUE(r.guardIntact) << "no terminating unit";

  r = Convert("\xff\xff", 64);
  EXPECT_EQ(r.count, 0) << "outside the table: nothing";
  r = Convert("\x81\x7f", 64);
  EXPECT_EQ(r.units, (std::vector<unsigned short>{0x0000})) << "unassigned code: unit 0";
  r = Convert("\x80\x7f", 64);
  EXPECT_EQ(r.units, (std::vector<unsigned short>{0x0080, 0x007F}));
  r = Convert("a\xb0", 64);
  EXPECT_EQ(r.units, (std::vector<unsigned short>{0x0061})) << "lead byte at the end";
}

TEST(ANSIToUTF8, StopsAtCapacity) {
  Units r = Convert("AB", 2);
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(r.units, (std::vector<unsigned short>{0x0041}));
  EXPECT_TRUE(r.guardIntact);

  r = Convert("\xb0\xa1\xb0\xa1\xb0\xa1", 5);  // room for two units
  EXPECT_EQ(r.count, 2);
  EXPECT_TRUE(r.guardIntact);

  EXPECT_EQ(Convert("AB", 1).count, 0);
  EXPECT_EQ(Convert("AB", 0).count, 0);
  EXPECT_EQ(Convert("AB", -4).count, 0);
  EXPECT_EQ(Convert(nullptr, 8).count, 0);
  EXPECT_EQ(ANSIToUTF8("AB", 8, nullptr), 0);
}

TEST(IsNumberOrCharacter, LettersAndDigitsOnly) {
  EXPECT_TRUE(IsNumberOrCharacter("abcXYZ0189"));
  EXPECT_TRUE(IsNumberOrCharacter(""));
  EXPECT_FALSE(IsNumberOrCharacter("ab c"));
  EXPECT_FALSE(IsNumberOrCharacter("12-3"));
  EXPECT_FALSE(IsNumberOrCharacter("\xb0\xa1"));
  EXPECT_FALSE(IsNumberOrCharacter("\xe9"));
  EXPECT_FALSE(IsNumberOrCharacter(nullptr));
}

TEST(SplitString, KeepsEmptyPartsAndSkipsOnlyLeadingDelimiters) {
  int n = 0;
  std::vector<std::string> parts = Split(",a,,b,", ",", &n);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "", "b", ""}));

  parts = Split("a", ",", &n);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(parts, (std::vector<std::string>{"a"}));

  parts = Split("one::two:three::", "::", &n);
  EXPECT_EQ(parts, (std::vector<std::string>{"one", "two:three", ""}));
  EXPECT_EQ(n, 3);

  // Leading characters of the delimiter are skipped one by one.
  parts = Split(":x::y", "::", &n);
  EXPECT_EQ(parts, (std::vector<std::string>{"x", "y"}));

  EXPECT_EQ(Split("", ",", &n).size(), 0u);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Split(",,,", ",", &n).size(), 0u) << "nothing but delimiters";
  EXPECT_EQ(n, 0);
  parts = Split("a,b", "", &n);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(parts, (std::vector<std::string>{"a,b"}));

  std::vector<std::string> existing = {"old"};
  EXPECT_EQ(SplitString("p;q", existing, ";"), 2);
  EXPECT_EQ(existing, (std::vector<std::string>{"old", "p", "q"})) << "parts are appended";
}
