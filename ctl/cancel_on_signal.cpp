#include "cancel_on_signal.h"

#include <unistd.h>

#include <ctime>

#include "exit_status.h"
#include "text_input.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

std::atomic<bool> g_interrupted{false};

// Waits up to ms for one of the signals; true when one came.
bool WaitFor(const sigset_t& set, long ms) {
  timespec limit{ms / 1000, (ms % 1000) * 1000000L};
  return sigtimedwait(&set, nullptr, &limit) > 0;
}

}  // namespace

bool Interrupted() { return g_interrupted.load(); }

CancelOnSignal::CancelOnSignal() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  sigaddset(&signals_, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  watcher_ = std::thread([this] { Watch(); });
}

CancelOnSignal::~CancelOnSignal() {
  done_.store(true);
  watcher_.join();
  pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
}

void CancelOnSignal::Watch() {
  while (!done_.load()) {
    if (!WaitFor(signals_, 100)) continue;
    g_interrupted.store(true);
    static const char kNote[] = "tlxctl: interrupted, cancelling the command\n";
    (void)!::write(STDERR_FILENO, kNote, sizeof kNote - 1);
    // The library keeps a cancel for the command it lands in, so one that
    // succeeds is enough. One that finds no command running (the signal came
    // before the call began) is tried again until a command takes it or
    // tlxctl is done.
    bool cancelled = false;
    while (!done_.load()) {
      if (!cancelled) cancelled = TLX_CancelRead(0, 0, 0) == TLX_OK;
      if (WaitFor(signals_, 50)) {
        // Ended at a key prompt, the terminal must not stay without echo.
        RestoreTerminalEcho();
        _exit(128 + SIGINT);
      }
    }
  }
}

}  // namespace tlxctl
