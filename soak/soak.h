// Soak scenarios of libtlxdev against the virtual terminal: long runs with
// faults, cancels and unplugs that must leave every promise of tlxdev.h
// intact. Each scenario prints its figures and returns the number of
// violations it found (0: passed).
#ifndef TLX_SOAK_H
#define TLX_SOAK_H

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "VirtualTerminal.h"

namespace tlxsoak {

using SoakClock = std::chrono::steady_clock;

struct Options {
  bool shortRun = false;  // the bounded pass of CI
  unsigned seed = 1;
  int exchanges = 0;  // resources: exchanges instead of the default
};

int Hostile(const Options& o);
int CancelStorm(const Options& o);
int Unplug(const Options& o);
int Resources(const Options& o);
// self: this program's path, for the second process.
int TwoProcesses(const Options& o, const std::string& self);
// The second process of TwoProcesses: runs its calls on port (with the
// environment the first one set up) and prints its results.
int TwoProcessesChild(int port, int calls);

// Milliseconds since t0.
inline double MsSince(SoakClock::time_point t0) {
  return std::chrono::duration<double, std::milli>(SoakClock::now() - t0).count();
}

// Sorted copy's percentile (0..100) of values; 0 for none.
double Percentile(std::vector<double> values, double p);

// Counts and reports violations: one line each (the first few), a total.
class Violations {
 public:
  explicit Violations(const char* scenario) : scenario_(scenario) {}
  void Add(const std::string& what);
  int Count() const { return count_; }

 private:
  const char* scenario_;
  int count_ = 0;
};

// A caller's output buffer of exactly size bytes with canary bytes on both
// sides: Intact() tells whether anything was written outside it.
class Guarded {
 public:
  explicit Guarded(size_t size);
  char* data() { return bytes_.data() + kCanary; }
  size_t size() const { return size_; }
  bool Intact() const;

 private:
  static constexpr size_t kCanary = 32;
  static constexpr char kFill = static_cast<char>(0xA5);
  size_t size_;
  std::vector<char> bytes_;
};

// The virtual terminal with a quick customer (answers within delayMs).
void QuickCustomer(tlxsim::VirtualTerminal& vt, int delayMs);
// Gives the terminal an active work key (master 1, work 2) for PIN blocks.
void LoadKeys(tlxsim::VirtualTerminal& vt);
// Writes bytes to path; false when it cannot.
bool WriteLocal(const std::string& path, const std::string& bytes);
// A fresh private directory below /tmp.
std::string ScratchDir();

}  // namespace tlxsoak

#endif
