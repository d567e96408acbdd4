// Trace file for applications: message and hex dump lines appended to
// "debug.ini" in the working directory, each stamped with the local time as
// MMDDhhmmssmmm. Also the load and unload hooks of the library.
#include <stdarg.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "tlxdev.h"

namespace {

const char kTraceFile[] = "debug.ini";
const int kMessageSize = 4096;  // 4095 characters and the terminator

std::atomic<int> g_debugFlag(0);
char g_debugPath[260];

// Writes the 13-digit stamp and two spaces. Time and milliseconds come from
// one reading of the clock.
void WriteStamp(FILE* f) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm local;
  localtime_r(&ts.tv_sec, &local);
  std::fprintf(f, "%02d%02d%02d%02d%02d%03d  ", local.tm_mon + 1, local.tm_mday, local.tm_hour,
               local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

__attribute__((constructor)) void test_init() {
  std::printf("%s/n", "test_init");
  std::fflush(stdout);
}

__attribute__((destructor)) void test_fini() {
  std::printf("%s/n", "test_fini");
  std::fflush(stdout);
}

}  // namespace

// The flag and the path are stored for applications; the writers always
// append to debug.ini in the working directory.
void SetDebugFlag(int flag) { g_debugFlag = flag; }

void SetDebugPath(const char* path) {
  std::memset(g_debugPath, 0, sizeof g_debugPath);
  if (path != nullptr) std::strncpy(g_debugPath, path, sizeof g_debugPath - 1);
}

void ICC_DPrintLogToFile(char* fmt, ...) {
  if (fmt == nullptr) return;
  FILE* f = std::fopen(kTraceFile, "a");
  if (f == nullptr) return;

  WriteStamp(f);
  char message[kMessageSize];
  std::memset(message, 0, sizeof message);
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(message, sizeof message, fmt, args);
  va_end(args);
  std::fprintf(f, "%s\r\n", message);
  std::fflush(f);
  std::fclose(f);
}

void ICC_DPrintDataHexToFile(const char* title, const char* data, int len) {
  if (data == nullptr || len < 0) len = 0;
  FILE* f = std::fopen(kTraceFile, "a");
  if (f == nullptr) return;

  WriteStamp(f);
  if (title != nullptr)
    std::fprintf(f, "%s  LEN=%d   HEX: ", title, len);
  else
    std::fprintf(f, "LEN=%d   HEX: ", len);
  for (int i = 0; i < len; ++i) std::fprintf(f, "%02X", static_cast<unsigned char>(data[i]));
  std::fputs("\r\n", f);
  std::fflush(f);
  std::fclose(f);
}
