// Trace lines in debug.ini and the load/unload hooks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "temp_dir.h"
#include "tlxdev.h"

namespace {

// Runs each test in its own scratch directory, since the trace file is
// "debug.ini" in the working directory.
class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(oldCwd_.c_str()), 0); }

  std::string Trace() const { return ReadFile(dir_.file("debug.ini")); }

  TempDir dir_;
  std::string oldCwd_;
};

// The local time now as the 13-digit stamp MMDDhhmmssmmm.
std::string StampNow() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm t;
  localtime_r(&ts.tv_sec, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%03d", t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
  return buf;
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

}  // namespace

TEST_F(TraceTest, MessageLineHasStampTwoSpacesTextAndCrLf) {
  const std::string before = StampNow();
  ICC_DPrintLogToFile(const_cast<char*>("port %d baud %s"), 3, "9600");
  const std::string after = StampNow();

  const std::string line = Trace();
  ASSERT_EQ(line.size(), 13u + 2 + 16 + 2) << line;
  const std::string stamp = line.substr(0, 13);
  EXPECT_TRUE(AllDigits(stamp)) << stamp;
  // Lexical order is time order within a year.
  EXPECT_LE(before, stamp);
  EXPECT_GE(after, stamp);
  EXPECT_EQ(line.substr(13), "  port 3 baud 9600\r\n");
}

TEST_F(TraceTest, LinesAreAppendedAndLongMessagesCut) {
  const std::string longText(5000, 'x');
  ICC_DPrintLogToFile(const_cast<char*>("%s"), longText.c_str());
  ICC_DPrintLogToFile(const_cast<char*>("second"));

  const std::string all = Trace();
  const size_t firstEnd = all.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos);
  EXPECT_EQ(firstEnd, 13u + 2 + 4095) << "the message is cut to 4095 characters";
  EXPECT_EQ(all.substr(15, firstEnd - 15), std::string(4095, 'x'));
  const std::string second = all.substr(firstEnd + 2);
  EXPECT_EQ(second.size(), 13u + 2 + 6 + 2);
  EXPECT_EQ(second.substr(13), "  second\r\n");
}

TEST_F(TraceTest, HexDumpLines) {
  ICC_DPrintDataHexToFile("RX", "\x00\xab\x7f", 3);
  ICC_DPrintDataHexToFile(nullptr, "", 0);
  ICC_DPrintDataHexToFile("TX", "\x1b\x25\x42", 2);

  const std::string all = Trace();
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < all.size();) {
    const size_t end = all.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(all.substr(pos, end - pos));
    pos = end + 2;
  }
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& l : lines) EXPECT_TRUE(AllDigits(l.substr(0, 13))) << l;
  EXPECT_EQ(lines[0].substr(13), "  RX  LEN=3   HEX: 00AB7F");
  EXPECT_EQ(lines[1].substr(13), "  LEN=0   HEX: ");
  EXPECT_EQ(lines[2].substr(13), "  TX  LEN=2   HEX: 1B25");
}

TEST_F(TraceTest, UnopenableTraceFileIsANoOp) {
  ASSERT_EQ(mkdir(dir_.file("debug.ini").c_str(), 0700), 0);
  ICC_DPrintLogToFile(const_cast<char*>("lost"));
  ICC_DPrintDataHexToFile("RX", "\x01", 1);
  SetDebugFlag(1);
  SetDebugPath(std::string(400, 'p').c_str());
  SetDebugPath(nullptr);
  struct stat st;
  ASSERT_EQ(stat(dir_.file("debug.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  // The setters do not redirect the writers.
  EXPECT_EQ(ReadFile(dir_.file("debug.log")), "");
}

// debug.ini is the application's own file, but the library opens it: never
// through a symlink, never when others may read it, created private.
TEST_F(TraceTest, DebugIniMustBeTheUsersOwnAndPrivate) {
  const mode_t oldMask = umask(0);
  ICC_DPrintLogToFile(const_cast<char*>("first"));
  umask(oldMask);
  struct stat st;
  ASSERT_EQ(lstat(dir_.file("debug.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_NE(Trace().find("first"), std::string::npos);

  const std::string elsewhere = dir_.file("elsewhere");
  {
    std::FILE* f = std::fopen(elsewhere.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  ASSERT_EQ(chmod(elsewhere.c_str(), 0600), 0);
  ASSERT_EQ(unlink(dir_.file("debug.ini").c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), dir_.file("debug.ini").c_str()), 0);
  ICC_DPrintLogToFile(const_cast<char*>("redirected"));
  ICC_DPrintDataHexToFile("RX", "\x01", 1);
  EXPECT_EQ(ReadFile(elsewhere), "");

  ASSERT_EQ(unlink(dir_.file("debug.ini").c_str()), 0);
  ASSERT_EQ(rename(elsewhere.c_str(), dir_.file("debug.ini").c_str()), 0);
  ASSERT_EQ(chmod(dir_.file("debug.ini").c_str(), 0644), 0);
  ICC_DPrintLogToFile(const_cast<char*>("readable by all"));
  EXPECT_EQ(Trace(), "");
  ASSERT_EQ(chmod(dir_.file("debug.ini").c_str(), 0600), 0);
  ICC_DPrintLogToFile(const_cast<char*>("private"));
  EXPECT_NE(Trace().find("private"), std::string::npos);
}

namespace {

std::string RunHookProbe(const std::string& env) {
  FILE* p = popen((env + " " HOOK_PROBE_PATH).c_str(), "r");
  if (p == nullptr) return "popen failed";
  std::string out;
  char buf[256];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (pclose(p) != 0) out += " (probe failed)";
  return out;
}

}  // namespace

// A program's standard output is its own: the load and unload hooks print
// nothing there; with the wire trace on, their lines go into it.
TEST_F(TraceTest, LoadHooksWriteToTheWireTraceOnly) {
  EXPECT_EQ(RunHookProbe("env -u TLX_TRACE"), "");
  const std::string trace = dir_.file("hooks.trace");
  EXPECT_EQ(RunHookProbe("TLX_TRACE=" + trace), "");
  const std::string text = ReadFile(trace);
  const size_t init = text.find("  test_init/n\r\n"), fini = text.find("  test_fini/n\r\n");
  EXPECT_NE(init, std::string::npos) << text;
  EXPECT_NE(fini, std::string::npos) << text;
  EXPECT_LT(init, fini);
}
