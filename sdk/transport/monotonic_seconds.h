// Whole seconds of the monotonic clock. Read timeouts count whole seconds
// (a limit of T s ends once more than T whole seconds have passed), and a
// monotonic source keeps wall-clock jumps from cutting or stretching them.
#ifndef TLX_MONOTONIC_SECONDS_H
#define TLX_MONOTONIC_SECONDS_H

#include <time.h>

inline long MonotonicSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long>(ts.tv_sec);
}

#endif
