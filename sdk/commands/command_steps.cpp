#include "commands/command_steps.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "session/session.h"

namespace tlx {

namespace {
std::atomic<bool> g_commandRunning{false};
}

Command::Command(int port, char bp, int baud) {
  bool expected = false;
  owner_ = g_commandRunning.compare_exchange_strong(expected, true);
  if (owner_) FlushPort(port, bp, baud);
}

Command::~Command() {
  if (owner_) g_commandRunning.store(false);
}

int Exchange(int port, char bp, int baud, const char* cmd, int cmdLen, char* reply, int cap,
             int* len, EndConditionFn until, int timeoutMs) {
  std::memset(reply, 0, static_cast<size_t>(cap));
  int got = cap - 1;
  const int rc = TransProc(port, bp, baud, const_cast<char*>(cmd), cmdLen, reply, &got, until,
                           timeoutMs);
  if (rc == TLX_OK && len != nullptr) *len = got;
  return rc;
}

int SendOnly(int port, char bp, int baud, const char* cmd, int cmdLen) {
  int unused = 0;
  return TransProc(port, bp, baud, const_cast<char*>(cmd), cmdLen, nullptr, &unused, nullptr,
                   kWriteOnlyMs);
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
