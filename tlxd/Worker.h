// The one thread that calls the library: the library takes one command at
// a time per process and blocks until it ends.
#ifndef TLXD_WORKER_H
#define TLXD_WORKER_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "Functions.h"

namespace tlxd {

class Worker {
 public:
  Worker();
  ~Worker();  // waits for the running call
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs call on the worker thread, then calls ended() there too, which
  // tells the caller's thread to take the outcome with TakeOutcome(). One
  // call at a time.
  void Run(std::function<Outcome()> call, std::function<void()> ended);
  Outcome TakeOutcome();
  // Marks the call handed over last as cancelled: it does not start if it
  // has not yet (done then gets -9 at once).
  void CancelBeforeStart() { cancelled_ = true; }
  // True while a call is on the worker (until done has returned).
  bool Busy() const { return busy_; }

 private:
  void Loop();

  std::mutex mu_;
  std::condition_variable cv_;
  std::function<Outcome()> call_;
  std::function<void()> ended_;
  Outcome outcome_;
  bool stop_ = false;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> busy_{false};
  std::thread thread_;
};

}  // namespace tlxd

#endif
