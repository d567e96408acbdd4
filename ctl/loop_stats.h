// Counts of a loop run for its summaries: calls, per test tried / passed /
// failed / stopped, failed tests by the code of their deciding call, and
// the latency of every call (min, median, p95, max).
#ifndef TLXCTL_LOOP_STATS_H
#define TLXCTL_LOOP_STATS_H

#include <map>
#include <string>
#include <vector>

#include "loop_tests.h"

struct cJSON;

namespace tlxctl {

struct TestCounts {
  long tried = 0;
  long passed = 0;
  long failed = 0;
  long stopped = 0;
};

struct Latency {
  double min = 0, median = 0, p95 = 0, max = 0;
};

class LoopStats {
 public:
  LoopStats();
  void AddCall(const LoopCall& c);
  void AddOutcome(LoopTest t, Outcome o, int code);
  void AddLoop() { ++loops_; }

  long Calls() const { return static_cast<long>(latencies_.size()); }
  long Loops() const { return loops_; }
  long Failed() const;
  const TestCounts& Counts(LoopTest t) const { return counts_[static_cast<size_t>(t)]; }
  const std::map<int, long>& FailuresByCode() const { return failuresByCode_; }
  // Nearest-rank percentiles over every call so far (zeros without calls).
  Latency Latencies() const;

  // The summary for a person, several lines; state: "running",
  // "finished", "stopped" ...
  std::string Text(const std::vector<LoopTest>& tests, double elapsedS, const char* state) const;
  // The same as a JSON object (the caller deletes it).
  cJSON* Json(const std::vector<LoopTest>& tests, double elapsedS, const char* state) const;

 private:
  std::vector<TestCounts> counts_;
  std::map<int, long> failuresByCode_;
  std::vector<double> latencies_;
  long loops_ = 0;
};

}  // namespace tlxctl

#endif
