// The result codes of the public header: their values, TLX_StrError's text
// for each and for unknown values, and the README's table of them, which
// must say what the library says.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "tlxdev.h"

namespace {

struct Code {
  const char* name;
  int value;
  const char* text;
};

const Code kCodes[] = {
    {"TLX_OK", TLX_OK, "success"},
    {"TLX_ERR_ARG", TLX_ERR_ARG, "bad argument, nothing sent"},
    {"TLX_ERR_TIMEOUT", TLX_ERR_TIMEOUT, "no complete reply in time"},
    {"TLX_ERR_OPEN", TLX_ERR_OPEN, "port cannot be opened, or another command is running"},
    {"TLX_ERR_WRITE", TLX_ERR_WRITE, "command not written in full"},
    {"TLX_ERR_READ", TLX_ERR_READ, "read failed"},
    {"TLX_ERR_NOFILE", TLX_ERR_NOFILE, "file to download missing or unreadable"},
    {"TLX_ERR_REPLY", TLX_ERR_REPLY, "unexpected or refused reply"},
    {"TLX_ERR_SHORTFILE", TLX_ERR_SHORTFILE, "file shorter than announced"},
    {"TLX_ERR_CANCEL", TLX_ERR_CANCEL, "read cancelled"},
    {"TLX_ERR_BUFFER", TLX_ERR_BUFFER, "caller's buffer too small"},
};

TEST(ResultCodes, ValuesAreTheInterfaceNumbers) {
  // 0 and -1 to -10 in this order, as the callers have always tested them.
  int expected = 0;
  for (const Code& c : kCodes) EXPECT_EQ(expected--, c.value) << c.name;
}

TEST(ResultCodes, EveryCodeHasItsOwnText) {
  std::set<std::string> seen;
  for (const Code& c : kCodes) {
    const char* text = TLX_StrError(c.value);
    ASSERT_NE(nullptr, text) << c.name;
    EXPECT_STREQ(c.text, text) << c.name;
    EXPECT_TRUE(seen.insert(text).second) << c.name << " shares its text";
  }
}

TEST(ResultCodes, UnknownValuesSaySo) {
  for (int code : {1, 4, -11, -100, INT_MIN, INT_MAX}) {
    ASSERT_NE(nullptr, TLX_StrError(code)) << code;
    EXPECT_STREQ("unknown result code", TLX_StrError(code)) << code;
  }
}

// Rows "| -2 | `TLX_ERR_TIMEOUT` | no complete reply in time |".
TEST(ResultCodes, ReadmeTableMatchesTheLibrary) {
  std::ifstream in(TLX_README_PATH);
  ASSERT_TRUE(in) << TLX_README_PATH;
  std::map<std::string, int> byName;
  for (const Code& c : kCodes) byName[c.name] = c.value;
  const std::regex row(R"(^\| *(-?\d+) *\| *`(TLX_[A-Z_]+)` *\| *(.*[^ ]) *\| *$)");
  std::set<int> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    const int code = std::stoi(m[1]);
    ASSERT_EQ(1u, byName.count(m[2])) << line;
    EXPECT_EQ(byName[m[2]], code) << line;
    EXPECT_EQ(std::string(TLX_StrError(code)), m[3].str()) << line;
    EXPECT_TRUE(rows.insert(code).second) << "twice: " << line;
  }
  EXPECT_EQ(sizeof kCodes / sizeof kCodes[0], rows.size());
}

}  // namespace
