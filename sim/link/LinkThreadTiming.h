// Converts the engine's next due time into a poll() timeout.
#ifndef TLXSIM_LINKTHREADTIMING_H
#define TLXSIM_LINKTHREADTIMING_H

#include "Engine.h"

namespace tlxsim {

inline int PollTimeoutMs(Clock::time_point nextDue) {
  if (nextDue == Clock::time_point::max()) return 1000;
  auto now = Clock::now();
  if (nextDue <= now) return 0;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(nextDue - now).count() + 1;
  return ms > 1000 ? 1000 : static_cast<int>(ms);
}

}  // namespace tlxsim

#endif
