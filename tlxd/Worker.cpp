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

void Worker::Run(std::function<Outcome()> call, std::function<void(Outcome)> done) {
  {
    std::lock_guard<std::mutex> g(mu_);
    call_ = std::move(call);
    done_ = std::move(done);
    cancelled_ = false;
    busy_ = true;
  }
  cv_.notify_all();
}

void Worker::Loop() {
  for (;;) {
    std::function<Outcome()> call;
    std::function<void(Outcome)> done;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return stop_ || call_; });
      if (!call_) return;
      call.swap(call_);
      done.swap(done_);
    }
    Outcome outcome = cancelled_ ? Outcome{TLX_ERR_CANCEL, {}} : call();
    call = nullptr;  // wipes the call's secrets before the reply goes out
    busy_ = false;
    done(std::move(outcome));
  }
}

}  // namespace tlxd
