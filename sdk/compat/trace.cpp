// The trace functions of the public header that keep their names of
// earlier releases, forwarding to trace/.
#include <stdarg.h>

#include "tlxdev.h"
#include "trace/wire_trace.h"

void SetDebugFlag(int flag) { tlx::SetTraceFlag(flag); }

void SetDebugPath(const char* path) { tlx::SetTracePath(path); }

void ICC_DPrintLogToFile(char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  tlx::AppendTraceMessage(fmt, args);
  va_end(args);
}

void ICC_DPrintDataHexToFile(const char* title, const char* data, int len) {
  tlx::AppendTraceHex(title, data, len);
}
