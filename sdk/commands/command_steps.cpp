#include "commands/command_steps.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "session/session.h"
#include "transport/cancel_source.h"
#include "transport/last_error.h"

namespace tlx {

namespace {

// State of the command that holds the interface, in one word so that the
// guard, the cancel and the end of the cancellable part never disagree:
// the command's number (never reused) times 4 plus its phase. 0: none.
enum : unsigned long long { kRunning = 1, kCancelled = 2, kFinished = 3, kPhases = 4 };
std::atomic<unsigned long long> g_state{0};
std::atomic<unsigned long long> g_lastId{0};

unsigned long long Phase(unsigned long long state) { return state % kPhases; }
unsigned long long IdOf(unsigned long long state) { return state / kPhases; }

// The port object's read and flush loops ask this beside their own flag.
const bool g_cancelSourceInstalled = (SetCancelSource(&Cancelled), true);

}  // namespace

bool Cancelled() { return Phase(g_state.load()) == kCancelled; }

int CancelCommand() {
  unsigned long long state = g_state.load();
  const unsigned long long phase = Phase(state);
  if (state == 0 || phase == kFinished) return TLX_ERR_REPLY;
  if (phase == kCancelled) return TLX_OK;
  // One attempt only: when the state moved on meanwhile, this command has
  // finished (or another cancel got there first); the command now running,
  // if any, started after this cancel and is not its target.
  const unsigned long long id = IdOf(state);
  if (g_state.compare_exchange_strong(state, id * kPhases + kCancelled)) return TLX_OK;
  return state == id * kPhases + kCancelled ? TLX_OK : TLX_ERR_REPLY;
}

Command::Command() : id_(g_lastId.fetch_add(1) + 1) {
  ClearLastError();
  unsigned long long expected = 0;
  if (!g_state.compare_exchange_strong(expected, id_ * kPhases + kRunning)) id_ = 0;
}

Command::~Command() {
  if (id_ == 0) return;
  ReleaseLink();
  g_state.store(0);
}

bool Command::Start(int port, char bp, int baud, int heldPort) {
  if (Busy()) {
    SetLastError("another command of this process is running (one command at a time)");
    return false;
  }
  if (heldPort < 0 || heldPort == port) {
    if (HoldLink(port) != TLX_OK) return false;
    if (!Cancelled()) FlushPort(port, bp, baud);
    return true;
  }
  // The port object opens one link at a time: the flushed port goes first.
  if (!Cancelled()) FlushPort(port, bp, baud);
  return HoldLink(heldPort) == TLX_OK;
}

int Command::Finish(int rc) {
  if (Busy()) return rc;
  // Cancels only ever move a running command to cancelled, so the phase
  // this replaces tells whether one came.
  const unsigned long long before = g_state.exchange(id_ * kPhases + kFinished);
  return Phase(before) == kCancelled ? TLX_ERR_CANCEL : rc;
}

int Exchange(int port, char bp, int baud, const char* cmd, int cmdLen, char* reply, int cap,
             int* len, EndConditionFn until, int timeoutMs) {
  std::memset(reply, 0, static_cast<size_t>(cap));
  if (Cancelled()) return TLX_ERR_CANCEL;
  int got = cap - 1;
  const int rc = TransProc(port, bp, baud, const_cast<char*>(cmd), cmdLen, reply, &got, until,
                           timeoutMs);
  if (rc == TLX_OK && len != nullptr) *len = got;
  return rc;
}

int SendClosing(int port, char bp, int baud, const char* cmd, int cmdLen) {
  int unused = 0;
  return TransProc(port, bp, baud, const_cast<char*>(cmd), cmdLen, nullptr, &unused, nullptr,
                   kWriteOnlyMs);
}

int SendOnly(int port, char bp, int baud, const char* cmd, int cmdLen) {
  if (Cancelled()) return TLX_ERR_CANCEL;
  return SendClosing(port, bp, baud, cmd, cmdLen);
}

bool IsAck(const char* reply) { return std::strcmp(reply, kAck) == 0; }

bool IsRefusal(const char* reply) { return std::strcmp(reply, kRefusal) == 0; }

bool IsKeyAck(const char* reply) { return std::strcmp(reply, kKeyAck) == 0; }

bool Format(char* buf, int cap, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  int n = std::vsnprintf(buf, static_cast<size_t>(cap), fmt, args);
  va_end(args);
  if (n < 0 || n >= cap) {
    std::memset(buf, 0, static_cast<size_t>(cap));
    return false;
  }
  return true;
}

}  // namespace tlx
