// Skeleton of the engine: state holder only; command handling follows.
#include "Engine.h"
#include "EngineState.h"

namespace tlxsim {

Engine::Engine() : impl_(new EngineImpl) {}
Engine::~Engine() = default;

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
  impl_->model = model;
}
void Engine::SetCustomer(const Customer& c) {
  std::lock_guard<std::mutex> l(impl_->mu);
  impl_->customer = c;
}
Customer Engine::GetCustomer() const {
  std::lock_guard<std::mutex> l(impl_->mu);
  return impl_->customer;
}
void Engine::SetFault(const std::string&, const Fault&) {}
void Engine::ClearFaults() {}
void Engine::Receive(Link, const char*, size_t) {}
std::vector<Chunk> Engine::Poll(Link, Clock::time_point, Clock::time_point* nextDue) {
  if (nextDue) *nextDue = Clock::time_point::max();
  return {};
}
void Engine::SetNotify(std::function<void()>) {}
void Engine::LinkClosed(Link) {}
std::vector<Received> Engine::History() const { return {}; }
void Engine::ClearHistory() {}
void Engine::SetLogger(std::function<void(const std::string&)>) {}
EngineImpl& Engine::Impl() { return *impl_; }

}  // namespace tlxsim
