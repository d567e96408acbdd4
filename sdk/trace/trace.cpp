// Trace file for applications: message and hex dump lines appended to
// "debug.ini" in the working directory, each stamped with the local time as
// MMDDhhmmssmmm. Like the wire trace, the file is used only when it is the
// user's own and private (see OpenPrivateAppend); otherwise nothing is
// written.
#include <stdarg.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "trace/trace_lines.h"
#include "trace/wire_trace.h"
#include "util/files.h"

namespace {

const char kTraceFile[] = "debug.ini";
const int kMessageSize = 4096;  // 4095 characters and the terminator

std::atomic<int> g_debugFlag(0);
char g_debugPath[260];

std::FILE* OpenTraceFile() {
  const int fd = tlx::OpenPrivateAppend(kTraceFile);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "a");
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace

namespace tlx {

// The writers for applications always append to debug.ini in the working
// directory. The flag and the path steer the wire trace of the exchanges:
// a non-zero flag turns it on, into the stored path (debug.log when none).
void SetTraceFlag(int flag) {
  g_debugFlag = flag;
  WireTraceSetFlag(flag);
}

void SetTracePath(const char* path) {
  std::memset(g_debugPath, 0, sizeof g_debugPath);
  if (path != nullptr) std::strncpy(g_debugPath, path, sizeof g_debugPath - 1);
  WireTraceSetPath(g_debugPath);
}

void AppendTraceMessage(const char* fmt, va_list args) {
  if (fmt == nullptr) return;
  FILE* f = OpenTraceFile();
  if (f == nullptr) return;

  char message[kMessageSize];
  std::memset(message, 0, sizeof message);
  std::vsnprintf(message, sizeof message, fmt, args);
  WriteTraceMessage(f, message);
  std::fflush(f);
  std::fclose(f);
}

void AppendTraceHex(const char* title, const char* data, int len) {
  if (data == nullptr || len < 0) len = 0;
  FILE* f = OpenTraceFile();
  if (f == nullptr) return;

  WriteTraceHex(f, title, data, len);
  std::fflush(f);
  std::fclose(f);
}

}  // namespace tlx
