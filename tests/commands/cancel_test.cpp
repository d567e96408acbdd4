// TLX_CancelRead from a second thread, on both links: a single cancel at
// any moment of a command (its flush, its set-up sends, its wait) ends
// that command with -9 after its closing step, leaves its outputs alone and
// never reaches the command after it.
#include <chrono>
#include <thread>

#include "CommandTest.h"

namespace tlxtest {
namespace {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

class Cancel : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    // Customers that take far longer than any test waits.
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = tlxsim::Answer{true, 60000, "1234"};
    c.info = tlxsim::Answer{true, 60000, "B0F"};
    c.keypadAmount = tlxsim::Answer{true, 60000, "5.00"};
    c.evaluator = tlxsim::Answer{true, 60000, "B1F"};
    SetCustomer(c);
  }

  // Runs call on a worker, cancels it once after delay, and gives the
  // cancel's result, the call's result and the time from the cancel to the
  // call's return. Delay 0 is the earliest moment there is: the cancel is
  // tried until the command has entered (before that it is refused with -7
  // as nothing runs), so it lands in the argument checks or the flush.
  template <typename Call>
  void CancelOnceAfter(Ms delay, Call call, int* cancelRc, int* callRc, Ms* latency) {
    std::atomic<int> rc{1};
    std::atomic<bool> done{false};
    SteadyClock::time_point returned;
    std::thread worker([&] {
      rc = call();
      returned = SteadyClock::now();
      done = true;
    });
    SteadyClock::time_point cancelled;
    if (delay.count() == 0) {
      do {
        cancelled = SteadyClock::now();
        *cancelRc = TLX_CancelRead(0, 0, 0);
      } while (*cancelRc != 0 && !done.load());
    } else {
      std::this_thread::sleep_for(delay);
      cancelled = SteadyClock::now();
      *cancelRc = TLX_CancelRead(0, 0, 0);
    }
    worker.join();
    *callRc = rc.load();
    *latency = std::chrono::duration_cast<Ms>(returned - cancelled);
  }
};

// Moments from the very start (argument checks and flush) through the set-up
// sends into the wait: every one is kept. Before the mend the early ones
// were forgotten and the entry waited its whole timeout.
TEST_P(Cancel, PinEntryCancelledAtAnyMomentEndsWithMinus9AndEndByte) {
  for (int delay : {0, 5, 40, 120, 400}) {
    ClearHistory();
    char pin[TLX_PIN_BLOCK_SIZE] = {0};
    int cancelRc = 1, callRc = 1;
    Ms latency{};
    CancelOnceAfter(
        Ms(delay), [&] { return TLX_ReadPin(Port(), 0, 9600, 0, 0, 60, pin, 32); }, &cancelRc,
        &callRc, &latency);
    SCOPED_TRACE("cancel after " + std::to_string(delay) + " ms");
    ASSERT_EQ(0, cancelRc);
    EXPECT_EQ(-9, callRc);
    // Generous for a loaded machine; the wait itself would be 62 s.
    EXPECT_LT(latency.count(), 1500);
    EXPECT_EQ(B("\x83"), Sent().back());
    EXPECT_STREQ("", pin);
  }
}

TEST_P(Cancel, InteractionsCancelledEarlyOrLateCloseTheirModule) {
  char info[] = "pay 5.00";
  char name[] = "Li", no[] = "7";
  for (int delay : {0, 300}) {
    SCOPED_TRACE("cancel after " + std::to_string(delay) + " ms");
    int result = -100;
    int cancelRc = 1, callRc = 1;
    Ms latency{};
    ClearHistory();
    CancelOnceAfter(
        Ms(delay), [&] { return TLX_StartInfo(Port(), 0, 9600, 60, info, &result); }, &cancelRc,
        &callRc, &latency);
    ASSERT_EQ(0, cancelRc);
    EXPECT_EQ(-9, callRc);
    EXPECT_EQ(-100, result);
    EXPECT_EQ(B("\x1b[2C"), Sent().back());

    ClearHistory();
    CancelOnceAfter(
        Ms(delay),
        [&] { return TLX_StartEvaluator(Port(), 0, 9600, name, no, 3, nullptr, 60, &result); },
        &cancelRc, &callRc, &latency);
    ASSERT_EQ(0, cancelRc);
    EXPECT_EQ(-9, callRc);
    EXPECT_EQ(-100, result);
    EXPECT_EQ(B("\x1b[4C"), Sent().back());
  }
}

// A cancelled command sends nothing after the cancel but its closing step:
// the keypad entry cancelled during its flush never asks for the amount.
TEST_P(Cancel, CommandCancelledBeforeItsExchangeSendsNoRequest) {
  char input[TLX_KEYPAD_INPUT_SIZE] = {0};
  int cancelRc = 1, callRc = 1;
  Ms latency{};
  ClearHistory();
  CancelOnceAfter(
      Ms(0), [&] { return TLX_StartKeyboard(Port(), 0, 9600, 60, 0, input); }, &cancelRc, &callRc,
      &latency);
  ASSERT_EQ(0, cancelRc);
  EXPECT_EQ(-9, callRc);
  EXPECT_FALSE(WasSent(B("\x1bGM\r\n")));
  EXPECT_EQ(B("\x1b[5C"), Sent().back());
}

TEST_P(Cancel, NeverReachesTheNextCommand) {
  char pin[TLX_PIN_BLOCK_SIZE] = {0};
  int cancelRc = 1, callRc = 1;
  Ms latency{};
  CancelOnceAfter(
      Ms(200), [&] { return TLX_ReadPin(Port(), 0, 9600, 0, 0, 60, pin, 32); }, &cancelRc, &callRc,
      &latency);
  ASSERT_EQ(-9, callRc);
  // Nothing runs now: the cancel is refused and not kept for later.
  EXPECT_EQ(-7, TLX_CancelRead(0, 0, 0));
  char version[TLX_VERSION_SIZE] = {0};
  EXPECT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
  EXPECT_STREQ("TLX-1.4.2", version);
  // A command that finished normally leaves nothing behind either.
  EXPECT_EQ(-7, TLX_CancelRead(0, 0, 0));
  char model[TLX_MODEL_SIZE] = {0};
  EXPECT_EQ(0, TLX_CheckOnline(Port(), 0, 9600, model));
  EXPECT_STREQ("R40", model);
}

TEST_P(Cancel, SecondCancelOfTheSameCommandAlsoSucceeds) {
  std::atomic<int> rc{1};
  char pin[TLX_PIN_BLOCK_SIZE] = {0};
  std::thread worker([&] { rc = TLX_ReadPin(Port(), 0, 9600, 0, 0, 60, pin, 32); });
  std::this_thread::sleep_for(Ms(50));
  const int first = TLX_CancelRead(0, 0, 0);
  const int second = TLX_CancelRead(0, 0, 0);
  worker.join();
  EXPECT_EQ(0, first);
  EXPECT_EQ(0, second);
  EXPECT_EQ(-9, rc.load());
}

// A transfer waiting for the terminal's acknowledgement is cancelled too.
TEST_P(Cancel, DownloadWaitingForAnAcknowledgementIsCancelled) {
  SetFault(Hid() ? "PACKET" : "DOWNLOAD", Fault{FaultKind::Silence, 0, -1});
  const std::string path = Scratch("ad.bin");
  WriteFile(path, Pattern(3000));
  int cancelRc = 1, callRc = 1;
  Ms latency{};
  CancelOnceAfter(
      Ms(300),
      [&] { return TLX_DownLoadFile(Port(), 0, 9600, 0, const_cast<char*>(path.c_str())); },
      &cancelRc, &callRc, &latency);
  ASSERT_EQ(0, cancelRc);
  EXPECT_EQ(-9, callRc);
  EXPECT_LT(latency.count(), 1500);
  terminal().ClearFaults();
  char list[256] = {0};
  EXPECT_EQ(0, TLX_GetFileList(Port(), 0, 9600, 0, list, sizeof list));
}

TLX_BOTH_LINKS(Cancel);

// A terminal that keeps sending holds the opening flush until its limit
// (seconds); a cancel during it ends the command at once, before anything
// is sent.
TEST_P(Cancel, CancelDuringTheFlushOfAChatteringTerminal) {
  engine().SetChatter(Hid() ? Link::Hid : Link::Serial, true);
  ClearHistory();
  char version[TLX_VERSION_SIZE] = {0};
  int cancelRc = 1, callRc = 1;
  Ms latency{};
  const auto start = SteadyClock::now();
  CancelOnceAfter(
      Ms(300), [&] { return TLX_GetVer(Port(), 0, 9600, version); }, &cancelRc, &callRc, &latency);
  const auto took = std::chrono::duration_cast<Ms>(SteadyClock::now() - start);
  engine().SetChatter(Hid() ? Link::Hid : Link::Serial, false);
  EXPECT_EQ(0, cancelRc);
  EXPECT_EQ(-9, callRc);
  // The flush alone would take over two seconds.
  EXPECT_LT(latency.count(), 1000);
  EXPECT_LT(took.count(), 1700);
  EXPECT_TRUE(Sent().empty());
  EXPECT_STREQ("", version);
  // The noise gone, the next command works.
  EXPECT_EQ(0, TLX_GetVer(Port(), 0, 9600, version));
}

}  // namespace
}  // namespace tlxtest
