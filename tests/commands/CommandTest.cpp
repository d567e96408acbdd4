#include "CommandTest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace tlxtest {

namespace {
bool IsChannelSequence(const std::string& b) {
  return b.size() == 3 && b[0] == '\x1b' && b[1] == '%';
}
}  // namespace

std::string HexAsc1(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += static_cast<char>(0x30 + (c >> 4));
    out += static_cast<char>(0x30 + (c & 0x0F));
  }
  return out;
}

std::string HexDump(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s += kDigits[c >> 4];
    s += kDigits[c & 15];
  }
  return s;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string Pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>((x >> 16) & 0xFF);
  }
  return s;
}

std::vector<tlxsim::Received> CommandTest::Settled() const {
  std::vector<tlxsim::Received> h = History();
  for (int i = 0; i < 100; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::vector<tlxsim::Received> next = History();
    if (next.size() == h.size()) return next;
    h = std::move(next);
  }
  return h;
}

std::vector<std::string> CommandTest::Sent() const {
  std::vector<std::string> out;
  for (const auto& r : Settled())
    if (!IsChannelSequence(r.bytes)) out.push_back(r.bytes);
  return out;
}

std::vector<std::string> CommandTest::SentOn(Link link) const {
  std::vector<std::string> out;
  for (const auto& r : Settled())
    if (r.link == link && !IsChannelSequence(r.bytes)) out.push_back(r.bytes);
  return out;
}

bool CommandTest::WasSent(const std::string& cmd) const { return IndexOf(cmd) >= 0; }

int CommandTest::IndexOf(const std::string& cmd) const {
  std::vector<std::string> s = Sent();
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == cmd) return static_cast<int>(i);
  return -1;
}

int CommandTest::CancelAfter(const std::string& marker, const std::atomic<bool>& done) {
  int result = -7;
  for (int i = 0; i < 300 && !done.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // One cancel that lands is kept for the whole command.
    if (WasSent(marker) && TLX_CancelRead(0, 0, 0) == 0) return 0;
  }
  return result;
}

std::string CommandTest::Scratch(const std::string& name) {
  if (scratch_.empty()) {
    char tmpl[] = "/tmp/tlx-cmdtest-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    scratch_ = dir != nullptr ? dir : "/tmp";
  }
  return scratch_ + "/" + name;
}

void CommandTest::TearDown() {
  if (!scratch_.empty() && scratch_ != "/tmp") {
    std::string cmd = "rm -rf '" + scratch_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
  tlxsim::SimTest::TearDown();
}

std::string LinkName(const ::testing::TestParamInfo<Link>& info) {
  return info.param == Link::Hid ? "Hid" : "Serial";
}

}  // namespace tlxtest
