#include "TestParams.h"

#include <mutex>

TestParams g_Params;

namespace {
std::mutex g_ParamsLock;
}

void StoreParams(const TestParams& params) {
  std::lock_guard<std::mutex> lock(g_ParamsLock);
  g_Params = params;
}

TestParams LoadParams() {
  std::lock_guard<std::mutex> lock(g_ParamsLock);
  return g_Params;
}
