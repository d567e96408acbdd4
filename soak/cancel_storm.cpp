// Cancel storm: commands that wait for a customer who never answers in
// time, each cancelled once from a second thread at a random moment of its
// run (from its entry, through its flush and set-up sends, into its wait),
// alternating between the links. Every cancel must end its command with -9
// within 250 ms, and the command after it must work.
#include <atomic>
#include <thread>

#include "soak.h"
#include "tlxdev.h"

namespace tlxsoak {
namespace {

const double kLimitMs = 250;

// One waiting command of the five kinds; 0 when it would succeed.
int Waiting(int kind, int port) {
  static char info[] = "\xc7\xeb\xc8\xb7\xc8\xcf";
  static char name[] = "Li", no[] = "7";
  char out[TLX_PIN_BLOCK_SIZE] = {0};
  int result = 0;
  switch (kind) {
    case 0:
      return TLX_ReadPin(port, 0, 9600, 0, 0, 60, out, 32);
    case 1:
      return TLX_ReadPinDES(port, 0, 9600, 0, 0, 60, out);
    case 2:
      return TLX_StartInfo(port, 0, 9600, 60, info, &result);
    case 3:
      return TLX_StartEvaluator(port, 0, 9600, name, no, 3, nullptr, 60, &result);
    default:
      return TLX_StartKeyboard(port, 0, 9600, 60, kind % 2, out);
  }
}

}  // namespace

int CancelStorm(const Options& o) {
  const int cancels = o.shortRun ? 60 : 1000;
  std::printf(
      "cancel storm: %d cancels at random moments of waiting commands, both links, "
      "seed %u\n",
      cancels, o.seed);
  std::fflush(stdout);
  tlxsim::VirtualTerminal vt;
  vt.Start();
  QuickCustomer(vt, 600000);  // nobody answers before the cancel
  LoadKeys(vt);
  std::mt19937 rng(o.seed);
  Violations v("cancel");
  std::vector<double> latency[2];
  int early = 0;
  const SoakClock::time_point start = SoakClock::now();
  for (int i = 0; i < cancels; ++i) {
    const bool hid = i % 2 == 1;
    const int port = hid ? 0 : vt.serialPort();
    const int kind = std::uniform_int_distribution<int>(0, 4)(rng);
    // Moments over the whole opening (flush: about 0.1 s on serial) and the
    // first part of the wait; 0 is the command's very entry.
    const int delayMs = std::uniform_int_distribution<int>(0, 400)(rng);
    std::atomic<bool> done{false};
    std::atomic<int> rc{1};
    SoakClock::time_point returned;
    std::thread worker([&] {
      rc = Waiting(kind, port);
      returned = SoakClock::now();
      done = true;
    });
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    // -7: the worker has not entered its command yet (thread start); the
    // cancel is tried again until it lands, then never again.
    SoakClock::time_point cancelled;
    int crc;
    int tries = 0;
    do {
      cancelled = SoakClock::now();
      crc = TLX_CancelRead(0, 0, 0);
      ++tries;
    } while (crc != 0 && !done.load());
    if (tries > 1) ++early;
    worker.join();
    const std::string where = std::string(hid ? "USB" : "serial") + " command " +
                              std::to_string(kind) + " cancelled after " + std::to_string(delayMs) +
                              " ms";
    if (crc != 0) {
      v.Add(where + ": the command returned " + std::to_string(rc.load()) +
            " before any cancel landed");
      continue;
    }
    const double ms = std::chrono::duration<double, std::milli>(returned - cancelled).count();
    latency[hid ? 1 : 0].push_back(ms);
    if (rc.load() != -9) v.Add(where + ": result " + std::to_string(rc.load()));
    if (ms > kLimitMs) v.Add(where + ": returned " + std::to_string(ms) + " ms after the cancel");
    char version[TLX_VERSION_SIZE] = {0};
    const int next = TLX_GetVer(port, 0, 9600, version);
    if (next != 0) v.Add(where + ": the next command gave " + std::to_string(next));
    if ((i + 1) % 100 == 0) {
      std::printf("  %d cancels, %.0f s, %d violations\n", i + 1, MsSince(start) / 1000, v.Count());
      std::fflush(stdout);
    }
  }
  for (int l = 0; l < 2; ++l) {
    const std::vector<double>& x = latency[l];
    std::printf("  %-6s %4zu cancels, latency ms: min %.1f, median %.1f, p95 %.1f, max %.1f\n",
                l ? "USB" : "serial", x.size(), Percentile(x, 0), Percentile(x, 50),
                Percentile(x, 95), Percentile(x, 100));
  }
  std::vector<double> all = latency[0];
  all.insert(all.end(), latency[1].begin(), latency[1].end());
  std::printf(
      "  both   %4zu cancels, latency ms: min %.1f, median %.1f, p95 %.1f, max %.1f; "
      "%d landed at the command's entry\n",
      all.size(), Percentile(all, 0), Percentile(all, 50), Percentile(all, 95),
      Percentile(all, 100), early);
  std::printf("cancel storm: %d cancels, %d violations (limit %.0f ms)\n", cancels, v.Count(),
              kLimitMs);
  vt.Stop();
  return v.Count();
}

}  // namespace tlxsoak
