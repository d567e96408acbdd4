#include <stdlib.h>

#include <algorithm>
#include <mutex>

#include "EngineState.h"
#include "soak.h"

namespace tlxsoak {

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t i = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(i, values.size() - 1)];
}

void Violations::Add(const std::string& what) {
  ++count_;
  if (count_ <= 20) std::printf("  %s violation: %s\n", scenario_, what.c_str());
  if (count_ == 21) std::printf("  %s: further violations not shown\n", scenario_);
  std::fflush(stdout);
}

Guarded::Guarded(size_t size) : size_(size), bytes_(size + 2 * kCanary, kFill) {
  std::fill(bytes_.begin() + kCanary, bytes_.begin() + kCanary + size, '\0');
}

bool Guarded::Intact() const {
  for (size_t i = 0; i < kCanary; ++i)
    if (bytes_[i] != kFill || bytes_[kCanary + size_ + i] != kFill) return false;
  return true;
}

void QuickCustomer(tlxsim::VirtualTerminal& vt, int delayMs) {
  tlxsim::Customer c;
  c.info = {true, delayMs, "B0F"};
  c.evaluator = {true, delayMs, "B1F"};
  c.keypadAmount = {true, delayMs, "100.00"};
  c.keypadPhone = {true, delayMs, "13800138000"};
  c.pin = {true, delayMs, "123456"};
  c.sign = {true, delayMs, ""};
  vt.SetCustomer(c);
}

void LoadKeys(tlxsim::VirtualTerminal& vt) {
  tlxsim::EngineImpl& impl = vt.engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  impl.state.masterKeys[1] = std::string(16, '\x11');
  impl.state.workKeys[{1, 2}] = std::string(16, '\x22');
  impl.state.activeMaster = 1;
  impl.state.activeWork = 2;
}

bool WriteLocal(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string ScratchDir() {
  char tmpl[] = "/tmp/tlx-soak-XXXXXX";
  const char* d = mkdtemp(tmpl);
  return d != nullptr ? d : "/tmp";
}

}  // namespace tlxsoak
