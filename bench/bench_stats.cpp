#include "bench_stats.h"

#include <algorithm>
#include <cstdio>

namespace tlxbench {

Spread Measure(int n, const std::function<int()>& op) {
  std::vector<double> us;
  us.reserve(static_cast<size_t>(n));
  Spread s;
  for (int i = 0; i < n; ++i) {
    BenchClock::time_point t0 = BenchClock::now();
    int rc = op();
    BenchClock::time_point t1 = BenchClock::now();
    if (rc != 0) ++s.failures;
    us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  std::sort(us.begin(), us.end());
  if (!us.empty()) {
    s.medianUs = us[us.size() / 2];
    s.p95Us = us[std::min(us.size() - 1, us.size() * 95 / 100)];
  }
  return s;
}

double TimeOnce(const std::function<int()>& op, int* rc) {
  BenchClock::time_point t0 = BenchClock::now();
  *rc = op();
  return std::chrono::duration<double>(BenchClock::now() - t0).count();
}

void PrintRoundTrip(const std::string& what, const Spread& lib, const Spread& floor) {
  std::printf(
      "%-28s median %9.1f us  p95 %9.1f us | floor median %8.1f us  p95 %8.1f us | "
      "ratio %6.1fx%s\n",
      what.c_str(), lib.medianUs, lib.p95Us, floor.medianUs, floor.p95Us,
      floor.medianUs > 0 ? lib.medianUs / floor.medianUs : 0.0,
      lib.failures + floor.failures ? "  (FAILURES)" : "");
}

void PrintThroughput(const std::string& what, double bytes, double libSeconds, int libRc,
                     double floorSeconds, int floorRc) {
  double lib = libSeconds > 0 ? bytes / libSeconds : 0;
  double flo = floorSeconds > 0 ? bytes / floorSeconds : 0;
  std::printf("%-28s %10.0f B/s (%6.3f s) | floor %10.0f B/s (%6.3f s) | ratio %5.2fx%s\n",
              what.c_str(), lib, libSeconds, flo, floorSeconds, lib > 0 ? flo / lib : 0.0,
              libRc != 0 || floorRc != 0 ? "  (FAILED)" : "");
}

}  // namespace tlxbench
