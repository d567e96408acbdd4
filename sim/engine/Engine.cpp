// The public face of the engine: locking, and logging/notification outside
// the lock so that callbacks may call back into the engine.
#include "Engine.h"

#include <type_traits>

#include "EngineState.h"

namespace tlxsim {

Engine::Engine() : impl_(new EngineImpl) {}
Engine::~Engine() = default;

// Runs an operation under the engine lock, then hands out the log lines and
// the notification it produced.
template <typename F>
static auto Locked(EngineImpl& impl, F f) -> decltype(f()) {
  std::vector<std::string> lines;
  std::vector<PromptEvent> events;
  bool notify = false;
  auto finish = [&]() {
    std::function<void(const std::string&)> log;
    std::function<void()> note;
    std::function<void(const PromptEvent&)> prompt;
    {
      std::lock_guard<std::mutex> l(impl.cbMu);
      log = impl.logFn;
      note = impl.notifyFn;
      prompt = impl.promptFn;
    }
    if ((log && !lines.empty()) || (prompt && !events.empty())) {
      std::lock_guard<std::recursive_mutex> l(impl.logCallMu);
      if (log)
        for (const auto& line : lines) log(line);
      if (prompt)
        for (const auto& e : events) prompt(e);
    }
    if (notify && note) note();
  };
  if constexpr (std::is_void_v<decltype(f())>) {
    {
      std::lock_guard<std::mutex> l(impl.mu);
      f();
      lines = impl.TakeLog();
      events = impl.TakeEvents();
      notify = impl.TakeNotify();
    }
    finish();
  } else {
    decltype(f()) r;
    {
      std::lock_guard<std::mutex> l(impl.mu);
      r = f();
      lines = impl.TakeLog();
      events = impl.TakeEvents();
      notify = impl.TakeNotify();
    }
    finish();
    return r;
  }
}

void Engine::SetStorageDir(const std::string& dir) {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->storageDir = dir;
}

std::string Engine::StorageDir() const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->storageDir;
}

void Engine::SetModel(const std::string& model) {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->state.model = model;
}

void Engine::SetCustomer(const Customer& c) {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->customer = c;
}

Customer Engine::GetCustomer() const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->customer;
}

void Engine::SetFault(const std::string& keyword, const Fault& f) {
  std::lock_guard<std::mutex> l(impl_->mu);
  if (f.kind == FaultKind::None || f.times == 0)
    impl_->faults.erase(keyword);
  else
    impl_->faults[keyword] = f;
}

void Engine::ClearFaults() {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->faults.clear();
}

void Engine::SetChatter(Link link, bool on) {
  Locked(*impl_, [&]() { impl_->SetChatter(link, on); });
}

std::string Engine::ChatterBytes(Link link) const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->ChatterBytes(link);
}

void Engine::Receive(Link link, const char* data, size_t n) {
  ReceiveAt(link, data, n, Clock::now());
}

void Engine::ReceiveAt(Link link, const char* data, size_t n, Clock::time_point now) {
  if (!data || n == 0) return;
  Locked(*impl_, [&]() { impl_->Receive(link, data, n, now); });
}

std::vector<Chunk> Engine::Poll(Link link, Clock::time_point now, Clock::time_point* nextDue) {
  return Locked(*impl_, [&]() { return impl_->Poll(link, now, nextDue); });
}

void Engine::SetNotify(std::function<void()> notify) {
  std::lock_guard<std::mutex> l(impl_->cbMu);
  impl_->notifyFn = std::move(notify);
}

void Engine::LinkClosed(Link link) {
  Locked(*impl_, [&]() { impl_->LinkClosed(link); });
}

std::vector<Received> Engine::History() const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->history;
}

void Engine::ClearHistory() {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->history.clear();
}

void Engine::SetLogger(std::function<void(const std::string&)> log) {
  {
    std::lock_guard<std::mutex> l(impl_->mu);
    impl_->logging = static_cast<bool>(log);
  }
  std::lock_guard<std::mutex> l(impl_->cbMu);
  impl_->logFn = std::move(log);
}

void Engine::SetLiveCustomer(bool live) {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->liveCustomer = live;
}

bool Engine::LiveCustomer() const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->liveCustomer;
}

void Engine::SetPromptListener(std::function<void(const PromptEvent&)> listener) {
  {
    std::lock_guard<std::mutex> l(impl_->mu);
    impl_->prompting = static_cast<bool>(listener);
  }
  std::lock_guard<std::mutex> l(impl_->cbMu);
  impl_->promptFn = std::move(listener);
}

bool Engine::AnswerPrompt(uint64_t id, const std::string& value) {
  return AnswerPromptAt(id, value, Clock::now());
}

bool Engine::AnswerPromptAt(uint64_t id, const std::string& value, Clock::time_point now) {
  return Locked(*impl_, [&]() { return impl_->AnswerPrompt(id, value, nullptr, now); });
}

bool Engine::AnswerSignature(uint64_t id, const std::vector<Stroke>& strokes) {
  return AnswerSignatureAt(id, strokes, Clock::now());
}

bool Engine::AnswerSignatureAt(uint64_t id, const std::vector<Stroke>& strokes,
                               Clock::time_point now) {
  return Locked(*impl_, [&]() { return impl_->AnswerPrompt(id, std::string(), &strokes, now); });
}

EngineImpl& Engine::Impl() { return *impl_; }

}  // namespace tlxsim
