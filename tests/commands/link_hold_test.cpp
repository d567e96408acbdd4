// Two processes on one terminal: a command holds its link against the other
// process from its first step to its last (the serial port's flock, the USB
// interface's claim), so the other's command is refused with -3 before it
// sends anything, and no step of one ever lands between two steps of the
// other's.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "CommandTest.h"

namespace tlxtest {
namespace {

class LinkHold : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    tlxsim::Customer c = terminal().GetCustomer();
    c.pin = tlxsim::Answer{true, 0, "1234"};
    SetCustomer(c);
  }
};
TLX_BOTH_LINKS(LinkHold);

// The steps of a plain PIN entry: mode, entry timeout, start, end byte.
std::vector<std::string> EntrySteps(int mode, int timeout, char start) {
  return {"\x1b[1;" + std::to_string(mode) + "X", "\x1b[1;" + std::to_string(timeout) + "T",
          std::string(1, start), B("\x83")};
}

TEST_P(LinkHold, AnotherProcessIsRefusedBeforeItsFirstStepAndNeverInterleaves) {
  const int kChildEntries = 25;
  ClearHistory();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other process: whole PIN entries, one after another, each tried
    // again while the link is taken.
    int failures = 0;
    for (int i = 0; i < kChildEntries; ++i) {
      char pin[16] = {0};
      int rc;
      while ((rc = TLX_ReadPin(Port(), 0, 9600, 0, 0, 30, pin, sizeof pin)) == -3) usleep(500);
      if (rc != 0) ++failures;
      usleep(static_cast<useconds_t>(300 * (i % 7)));
    }
    _exit(failures);
  }
  // This process tries its own entries all the while.
  int ok = 0, refused = 0, other = 0;
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  while (waitpid(child, &status, WNOHANG) == 0) {
    char pin[16] = {0};
    const int rc = TLX_ReadPin(Port(), 0, 9600, 1, 1, 29, pin, sizeof pin);
    (rc == 0 ? ok : rc == -3 ? refused : other)++;
    usleep(static_cast<useconds_t>(200 * ((ok + refused) % 11)));
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      FAIL() << "the other process did not finish";
    }
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status)) << "entries of the other process that failed";
  EXPECT_EQ(0, other);
  EXPECT_GT(refused, 0) << "the two never met";

  // The terminal heard whole entries only: each four steps of one process.
  const std::vector<std::string> mine = EntrySteps(1, 29, '\x81');
  const std::vector<std::string> theirs = EntrySteps(0, 30, '\x82');
  const std::vector<std::string> sent = Sent();
  int mineSeen = 0, theirsSeen = 0;
  for (size_t i = 0; i < sent.size();) {
    const std::vector<std::string>* run = sent[i] == mine[0]     ? &mine
                                          : sent[i] == theirs[0] ? &theirs
                                                                 : nullptr;
    ASSERT_NE(run, nullptr) << "step " << i << " starts no entry";
    ASSERT_LE(i + run->size(), sent.size()) << "an entry cut short at step " << i;
    for (size_t k = 0; k < run->size(); ++k)
      ASSERT_EQ((*run)[k], sent[i + k]) << "step " << i + k << ": another process came between";
    (run == &mine ? mineSeen : theirsSeen)++;
    i += run->size();
  }
  EXPECT_EQ(kChildEntries, theirsSeen);
  EXPECT_EQ(ok, mineSeen) << "a refused entry sent something";
}

}  // namespace
}  // namespace tlxtest
