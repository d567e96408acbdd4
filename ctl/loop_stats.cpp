#include "loop_stats.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tlxdev.h"

namespace tlxctl {

namespace {

double CallsPerMinute(long calls, double elapsedS) {
  return elapsedS > 0 ? calls * 60.0 / elapsedS : 0;
}

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  return buf;
}

// Nearest rank: the smallest value with at least p of the values at or
// below it.
double Rank(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  size_t k = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
  if (k == 0) k = 1;
  return sorted[std::min(k, sorted.size()) - 1];
}

}  // namespace

LoopStats::LoopStats() : counts_(AllLoopTests().size()) {}

void LoopStats::AddCall(const LoopCall& c) { latencies_.push_back(c.latencyMs); }

void LoopStats::AddOutcome(LoopTest t, Outcome o, int code) {
  TestCounts& n = counts_[static_cast<size_t>(t)];
  ++n.tried;
  if (o == Outcome::Pass) ++n.passed;
  if (o == Outcome::Stopped) ++n.stopped;
  if (o == Outcome::Fail) {
    ++n.failed;
    ++failuresByCode_[code];
  }
}

long LoopStats::Failed() const {
  long n = 0;
  for (const TestCounts& c : counts_) n += c.failed;
  return n;
}

Latency LoopStats::Latencies() const {
  std::vector<double> sorted = latencies_;
  std::sort(sorted.begin(), sorted.end());
  Latency l;
  if (sorted.empty()) return l;
  l.min = sorted.front();
  l.median = Rank(sorted, 0.5);
  l.p95 = Rank(sorted, 0.95);
  l.max = sorted.back();
  return l;
}

std::string LoopStats::Text(const std::vector<LoopTest>& tests, double elapsedS,
                            const char* state) const {
  char line[256];
  std::snprintf(line, sizeof line,
                "loop summary (%s): %ld loops, %ld calls in %s, %.1f calls per minute\n", state,
                loops_, Calls(), Duration(elapsedS).c_str(), CallsPerMinute(Calls(), elapsedS));
  std::string s = line;
  s += "  test       tried  passed  failed  stopped\n";
  for (LoopTest t : tests) {
    const TestCounts& c = Counts(t);
    std::snprintf(line, sizeof line, "  %-9s %6ld  %6ld  %6ld  %7ld\n", LoopTestName(t), c.tried,
                  c.passed, c.failed, c.stopped);
    s += line;
  }
  if (failuresByCode_.empty()) {
    s += "  failures by code: none\n";
  } else {
    s += "  failures by code:\n";
    for (const auto& f : failuresByCode_) {
      std::snprintf(line, sizeof line, "    %4d %-55s %ld\n", f.first, TLX_StrError(f.first),
                    f.second);
      s += line;
    }
  }
  const Latency l = Latencies();
  std::snprintf(line, sizeof line, "  latency ms: min %.1f  median %.1f  p95 %.1f  max %.1f\n",
                l.min, l.median, l.p95, l.max);
  return s + line;
}

cJSON* LoopStats::Json(const std::vector<LoopTest>& tests, double elapsedS,
                       const char* state) const {
  cJSON* o = cJSON_CreateObject();
  cJSON_AddStringToObject(o, "type", "summary");
  cJSON_AddStringToObject(o, "state", state);
  cJSON_AddNumberToObject(o, "seconds", std::round(elapsedS * 10) / 10);
  cJSON_AddNumberToObject(o, "loops", static_cast<double>(loops_));
  cJSON_AddNumberToObject(o, "calls", static_cast<double>(Calls()));
  cJSON_AddNumberToObject(o, "calls_per_minute",
                          std::round(CallsPerMinute(Calls(), elapsedS) * 10) / 10);
  cJSON* per = cJSON_AddObjectToObject(o, "tests");
  for (LoopTest t : tests) {
    const TestCounts& c = Counts(t);
    cJSON* n = cJSON_AddObjectToObject(per, LoopTestName(t));
    cJSON_AddNumberToObject(n, "tried", static_cast<double>(c.tried));
    cJSON_AddNumberToObject(n, "passed", static_cast<double>(c.passed));
    cJSON_AddNumberToObject(n, "failed", static_cast<double>(c.failed));
    cJSON_AddNumberToObject(n, "stopped", static_cast<double>(c.stopped));
  }
  cJSON* failures = cJSON_AddArrayToObject(o, "failures");
  for (const auto& f : failuresByCode_) {
    cJSON* n = cJSON_CreateObject();
    cJSON_AddNumberToObject(n, "code", f.first);
    cJSON_AddStringToObject(n, "text", TLX_StrError(f.first));
    cJSON_AddNumberToObject(n, "count", static_cast<double>(f.second));
    cJSON_AddItemToArray(failures, n);
  }
  const Latency l = Latencies();
  cJSON* lat = cJSON_AddObjectToObject(o, "latency_ms");
  cJSON_AddNumberToObject(lat, "min", std::round(l.min * 10) / 10);
  cJSON_AddNumberToObject(lat, "median", std::round(l.median * 10) / 10);
  cJSON_AddNumberToObject(lat, "p95", std::round(l.p95 * 10) / 10);
  cJSON_AddNumberToObject(lat, "max", std::round(l.max * 10) / 10);
  return o;
}

}  // namespace tlxctl
