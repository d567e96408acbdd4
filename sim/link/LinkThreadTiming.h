// Converts the engine's next due time into a poll() timeout.
#ifndef TLXSIM_LINKTHREADTIMING_H
#define TLXSIM_LINKTHREADTIMING_H

#include <ctime>

#include "Engine.h"

namespace tlxsim {

inline int PollTimeoutMs(Clock::time_point nextDue) {
  if (nextDue == Clock::time_point::max()) return 1000;
  auto now = Clock::now();
  if (nextDue <= now) return 0;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(nextDue - now).count() + 1;
  return ms > 1000 ? 1000 : static_cast<int>(ms);
}

// The same for ppoll().
inline timespec PollTimeoutSpec(Clock::time_point nextDue) {
  const int ms = PollTimeoutMs(nextDue);
  return timespec{ms / 1000, (ms % 1000) * 1000000L};
}

// A paced line wakes when its next byte is due, to the microsecond; at
// least once a second.
inline timespec PollTimeoutPrecise(Clock::time_point nextDue) {
  const auto now = Clock::now();
  if (nextDue <= now) return timespec{0, 0};
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(nextDue - now).count();
  if (ns > 1000000000LL) ns = 1000000000LL;
  return timespec{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
}

}  // namespace tlxsim

#endif
