// Fixture of the tlxctl tests: a virtual terminal per test (in this
// process), tlxctl run as a program against it with its output, error
// output and exit status captured, and the terminal's log collected.
#ifndef TLX_TESTS_CTLTEST_H
#define TLX_TESTS_CTLTEST_H

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CommandTest.h"
#include "EngineState.h"
#include "SimTest.h"

namespace tlxtest {

struct CtlResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

struct CtlRun {
  std::vector<std::string> args;
  std::string input;                                     // standard input (closed after it)
  std::vector<std::pair<std::string, std::string>> env;  // set (or, with a null-like "\x01", unset)
  std::string cwd;
  // Polled while tlxctl runs; once it gives true, tlxctl gets a SIGINT.
  std::function<bool()> interruptWhen;
  // A program (with its arguments) that runs tlxctl, e.g. setpriv to run
  // it as another user; looked up on PATH.
  std::vector<std::string> prefix;
};

// Runs tlxctl and waits for it (at most two minutes).
CtlResult RunCtl(const CtlRun& run);
// The same with arguments only.
CtlResult RunCtl(std::vector<std::string> args);

// Parsed JSON; null when the text is not one JSON document.
using Json = std::unique_ptr<cJSON, void (*)(cJSON*)>;
Json ParseJson(const std::string& text);
std::string JsonString(const cJSON* object, const char* key);
double JsonNumber(const cJSON* object, const char* key);

// ReadFile, HexDump, HexAsc1 come from the command tests' helpers.
// A file with the given mode (key files are the owner's only).
void WriteFile(const std::string& path, const std::string& bytes, int mode);
std::string Lower(std::string s);

// The command tests' fixture (terminal, scratch directory, settled history)
// with tlxctl runs and the terminal's log.
class CtlTest : public CommandTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // tlxctl with --port of the link under test first.
  CtlResult Ctl(tlxsim::Link link, std::vector<std::string> args, const std::string& input = "",
                std::function<bool()> interruptWhen = nullptr);
  int PortOf(tlxsim::Link link) const { return link == Link::Hid ? kHidPort : SerialPort(); }
  // The terminal's log so far.
  std::string SimLog();

  std::vector<std::pair<std::string, std::string>> extraEnv_;

 private:
  std::mutex logMu_;
  std::string log_;
};

class CtlLinkTest : public CtlTest, public ::testing::WithParamInterface<tlxsim::Link> {
 protected:
  tlxsim::Link L() const { return GetParam(); }
  CtlResult Run(std::vector<std::string> args, const std::string& input = "",
                std::function<bool()> interruptWhen = nullptr) {
    return Ctl(GetParam(), std::move(args), input, std::move(interruptWhen));
  }
};

#define TLX_CTL_BOTH_LINKS(Suite)                                                    \
  INSTANTIATE_TEST_SUITE_P(Links, Suite, ::testing::Values(Link::Serial, Link::Hid), \
                           ::tlxtest::LinkName)

// The three outcomes a subcommand is checked for.
// (r is evaluated once: it may be the run itself.)
#define EXPECT_CTL_OK(r)                                                             \
  do {                                                                               \
    const ::tlxtest::CtlResult& ctlOk_ = (r);                                        \
    EXPECT_EQ(ctlOk_.status, 0) << "out: " << ctlOk_.out << "\nerr: " << ctlOk_.err; \
    EXPECT_EQ(ctlOk_.err, "");                                                       \
  } while (0)
// Failure with the library's result code: its exit status and the error
// line with code and text.
void ExpectCtlError(const CtlResult& r, int code, const char* command);
// An argument out of its range: a usage error (status 2) whose message
// names the range, before anything is sent.
void ExpectRangeError(const CtlResult& r, const std::string& range);

}  // namespace tlxtest

#endif
