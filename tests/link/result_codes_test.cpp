// The result codes of the public header: their values, TLX_StrError's text
// for each and for unknown values, and the README's table of them, which
// must say what the library says.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// The cells of a Markdown table row "| a | b | c |", trimmed.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  if (line.size() < 2 || line.front() != '|' || line.back() != '|') return cells;
  std::stringstream in(line.substr(1, line.size() - 2));
  std::string cell;
  while (std::getline(in, cell, '|')) {
    const size_t b = cell.find_first_not_of(' ');
    const size_t e = cell.find_last_not_of(' ');
    cells.push_back(b == std::string::npos ? std::string() : cell.substr(b, e - b + 1));
  }
  return cells;
}

// Rows "| -2 | `TLX_ERR_TIMEOUT` | no complete reply in time |".
TEST(ResultCodes, ReadmeTableMatchesTheLibrary) {
  std::ifstream in(TLX_README_PATH);
  ASSERT_TRUE(in) << TLX_README_PATH;
  std::map<std::string, int> byName;
  for (const Code& c : kCodes) byName[c.name] = c.value;
  std::set<int> rows;
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> c = Cells(line);
    if (c.size() != 3 || c[1].size() < 3 || c[1].compare(0, 5, "`TLX_") != 0) continue;
    const std::string name = c[1].substr(1, c[1].size() - 2);
    ASSERT_EQ(1u, byName.count(name)) << line;
    const int code = std::stoi(c[0]);
    EXPECT_EQ(byName[name], code) << line;
    EXPECT_EQ(std::string(TLX_StrError(code)), c[2]) << line;
    EXPECT_TRUE(rows.insert(code).second) << "twice: " << line;
  }
  EXPECT_EQ(sizeof kCodes / sizeof kCodes[0], rows.size());
}

}  // namespace
