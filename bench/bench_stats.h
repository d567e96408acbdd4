// Timing helpers of the benchmark.
#ifndef TLX_BENCH_STATS_H
#define TLX_BENCH_STATS_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tlxbench {

using BenchClock = std::chrono::steady_clock;

struct Spread {
  double medianUs = 0;
  double p95Us = 0;
  int failures = 0;
};

// Runs op n times; op returns 0 on success.
Spread Measure(int n, const std::function<int()>& op);
// Seconds taken by op (run once); *rc gets its result.
double TimeOnce(const std::function<int()>& op, int* rc);

void PrintRoundTrip(const std::string& what, const Spread& lib, const Spread& floor);
void PrintThroughput(const std::string& what, double bytes, double libSeconds, int libRc,
                     double floorSeconds, int floorRc);

}  // namespace tlxbench

#endif
