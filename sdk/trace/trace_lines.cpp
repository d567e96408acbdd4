// Writing the lines of the trace files.
#include "trace/trace_lines.h"

#include <time.h>

namespace tlx {

namespace {

using trace::kHexWord;
using trace::kLenWord;
using trace::kStampGap;

const char kDigits[] = "0123456789ABCDEF";

// Writes the 13-digit stamp and two spaces. Time and milliseconds come from
// one reading of the clock.
void WriteStamp(std::FILE* f) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm local;
  localtime_r(&ts.tv_sec, &local);
  std::fprintf(f, "%02d%02d%02d%02d%02d%03d%s", local.tm_mon + 1, local.tm_mday, local.tm_hour,
               local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000), kStampGap);
}

}  // namespace

void WriteTraceMessage(std::FILE* f, const char* text) {
  WriteStamp(f);
  std::fprintf(f, "%s\r\n", text);
}

void WriteTraceHex(std::FILE* f, const char* title, const char* data, int len) {
  if (data == nullptr || len < 0) len = 0;
  WriteStamp(f);
  if (title != nullptr)
    std::fprintf(f, "%s%s%s%d%s", title, kStampGap, kLenWord, len, kHexWord);
  else
    std::fprintf(f, "%s%d%s", kLenWord, len, kHexWord);
  // The digits go out in small chunks: a packet of a transfer is 200000
  // bytes, and this runs inside every command, whose stack stays small.
  char chunk[512];
  size_t used = 0;
  for (int i = 0; i < len; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    chunk[used++] = kDigits[c >> 4];
    chunk[used++] = kDigits[c & 0x0F];
    if (used == sizeof chunk) {
      std::fwrite(chunk, 1, used, f);
      used = 0;
    }
  }
  std::fwrite(chunk, 1, used, f);
  std::fputs("\r\n", f);
}

}  // namespace tlx
