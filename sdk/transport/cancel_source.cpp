#include "transport/cancel_source.h"

#include <atomic>

namespace {
std::atomic<CancelSourceFn> g_cancelSource{nullptr};
}

void SetCancelSource(CancelSourceFn fn) { g_cancelSource.store(fn); }

bool CancelSourcePending() {
  const CancelSourceFn fn = g_cancelSource.load();
  return fn != nullptr && fn();
}
