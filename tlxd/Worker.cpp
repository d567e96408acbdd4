#include "Worker.h"

#include "tlxdev.h"

namespace tlxd {

Worker::Worker() : thread_([this] { Loop(); }) {}

Worker::~Worker() {
  {
    std::lock_guard<std::mutex> g(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void Worker::Run(std::function<Outcome()> call, std::function<void()> ended) {
  {
    std::lock_guard<std::mutex> g(mu_);
    call_ = std::move(call);
    ended_ = std::move(ended);
    cancelled_ = false;
    busy_ = true;
  }
  cv_.notify_all();
}

Outcome Worker::TakeOutcome() {
  std::lock_guard<std::mutex> g(mu_);
  Outcome o = std::move(outcome_);
  outcome_ = Outcome{};
  return o;
}

void Worker::Loop() {
  for (;;) {
    std::function<Outcome()> call;
    std::function<void()> ended;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return stop_ || call_; });
      if (!call_) return;
      call.swap(call_);
      ended.swap(ended_);
    }
    Outcome outcome = cancelled_ ? Outcome{TLX_ERR_CANCEL, {}} : call();
    call = nullptr;  // wipes the call's secrets before the reply goes out
    {
      // Handed over under this lock (not only through the event queue), so
      // that the thread sanitizer sees the hand-over too.
      std::lock_guard<std::mutex> g(mu_);
      outcome_ = std::move(outcome);
    }
    busy_ = false;
    ended();
  }
}

}  // namespace tlxd
