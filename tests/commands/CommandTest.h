// Fixture shared by the command tests: a virtual terminal per test and the
// link under test (serial pty or HID) as the test parameter.
#ifndef TLX_TESTS_COMMANDTEST_H
#define TLX_TESTS_COMMANDTEST_H

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "EngineState.h"
#include "SimTest.h"
#include "tlxdev.h"

namespace tlxtest {

using tlxsim::Fault;
using tlxsim::FaultKind;
using tlxsim::Link;

// Bytes as a std::string, embedded zero bytes included.
template <size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// HexAsc1 form of bytes (two characters 0x30 + nibble per byte).
std::string HexAsc1(const std::string& bytes);
// Upper-case hex text of bytes, as the trace's hex dumps write them.
std::string HexDump(const std::string& bytes);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Deterministic bytes of every value, zero bytes included.
std::string Pattern(size_t n, unsigned seed = 7);

class CommandTest : public tlxsim::SimTest {
 protected:
  tlxsim::EngineImpl& impl() { return engine().Impl(); }
  // History once the terminal has taken in everything written so far (the
  // link threads hand bytes over asynchronously): no change for 30 ms.
  std::vector<tlxsim::Received> Settled() const;
  // Clears the history after what is still on its way has arrived.
  void ClearHistory() {
    Settled();
    tlxsim::SimTest::ClearHistory();
  }
  // Commands the terminal received, without channel selectors and resets.
  std::vector<std::string> Sent() const;
  // Same, on one link only.
  std::vector<std::string> SentOn(Link link) const;
  // True when cmd is among the commands received.
  bool WasSent(const std::string& cmd) const;
  // Index of the first command received equal to cmd, or -1.
  int IndexOf(const std::string& cmd) const;
  // Cancels once from this thread, when marker has reached the terminal:
  // 0 when the cancel landed, -7 when the command ended before it.
  int CancelAfter(const std::string& marker, const std::atomic<bool>& done);
  // A file in this test's scratch directory.
  std::string Scratch(const std::string& name);
  void TearDown() override;

 private:
  std::string scratch_;
};

// Parametrised over the link.
class LinkTest : public CommandTest, public ::testing::WithParamInterface<Link> {
 protected:
  bool Hid() const { return GetParam() == Link::Hid; }
  int Port() const { return Hid() ? kHidPort : SerialPort(); }
};

std::string LinkName(const ::testing::TestParamInfo<Link>& info);

#define TLX_BOTH_LINKS(Suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Links, Suite, ::testing::Values(Link::Serial, Link::Hid), \
                           ::tlxtest::LinkName)

}  // namespace tlxtest

#endif
