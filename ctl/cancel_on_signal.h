// Ctrl-C (SIGINT), SIGTERM and SIGHUP while a command runs: the command is
// cancelled through TLX_CancelRead, repeated until it has returned (a cancel
// that finds no read waiting is not kept), so that it still sends its
// closing steps (the PIN pad's end byte, a module's close) and tlxctl ends
// with the cancel's result. A second signal ends tlxctl at once.
#ifndef TLXCTL_CANCEL_ON_SIGNAL_H
#define TLXCTL_CANCEL_ON_SIGNAL_H

#include <signal.h>

#include <atomic>
#include <thread>

namespace tlxctl {

class CancelOnSignal {
 public:
  // Blocks the signals in this thread (and so in every thread started
  // later) and starts the thread that waits for them.
  CancelOnSignal();
  // Stops that thread once the command has returned.
  ~CancelOnSignal();
  CancelOnSignal(const CancelOnSignal&) = delete;
  CancelOnSignal& operator=(const CancelOnSignal&) = delete;

 private:
  void Watch();

  sigset_t signals_;
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

// True once a signal asked the running command to stop; commands that run
// several exchanges (probe) stop between them.
bool Interrupted();

}  // namespace tlxctl

#endif
