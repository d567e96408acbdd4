#include "commands/replies.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "session/session.h"

namespace tlx {

namespace {
std::atomic<bool> g_commandRunning{false};
}

bool IsAck(const char* reply) { return std::strcmp(reply, "\x02\xaa\x03") == 0; }

bool IsRefusal(const char* reply) { return std::strcmp(reply, "\x02U\x03") == 0; }

bool IsRefusedFrame(const char* reply, int len) {
  return len >= 2 && reply[0] == 0x02 && reply[len - 1] == 0x03 && reply[1] == 'U';
}

int SendOnly(int port, char bp, int baud, const char* cmd) {
  int unused = 0;
  return TransProc(port, bp, baud, const_cast<char*>(cmd), nullptr, &unused, nullptr,
                   kWriteOnlyMs);
}

int SendBytes(int port, char bp, int baud, const char* cmd, int len) {
  int unused = 0;
  return TransProc(port, bp, baud, const_cast<char*>(cmd), len, nullptr, &unused, nullptr,
                   kWriteOnlyMs);
}

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

CommandGuard::CommandGuard() {
  bool expected = false;
  owner_ = g_commandRunning.compare_exchange_strong(expected, true);
}

CommandGuard::~CommandGuard() {
  if (owner_) g_commandRunning.store(false);
}

}  // namespace tlx
