// Serial device naming: port n is the tty "/dev/ttyS<n-1>", or the pattern
// taken from TLX_SERIAL_PATH (for USB serial adapters or a virtual terminal).
// The environment string is never used as a printf format: it is checked to
// hold exactly one "%d" and no other '%', then the number is put in its place
// by hand.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "transport/CDevice.h"

namespace {

const char kDefaultPattern[] = "/dev/ttyS%d";

// True when pattern holds exactly one "%d" and no other '%' character.
// A literal "%%" is refused too: no real device name needs it.
bool IsValidPattern(const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return false;
  int conversions = 0;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (p[1] != 'd') return false;
    ++conversions;
    ++p;
  }
  return conversions == 1;
}

}  // namespace

bool SerialDevicePath(int port, char* buf, int capacity) {
  if (buf == nullptr || capacity <= 0 || port < 1) return false;

  const char* pattern = std::getenv("TLX_SERIAL_PATH");
  if (!IsValidPattern(pattern)) pattern = kDefaultPattern;

  const char* conv = std::strstr(pattern, "%d");
  const size_t prefixLen = static_cast<size_t>(conv - pattern);
  const char* suffix = conv + 2;

  char number[16];
  std::snprintf(number, sizeof number, "%d", port - 1);

  const size_t total = prefixLen + std::strlen(number) + std::strlen(suffix);
  if (total + 1 > static_cast<size_t>(capacity)) return false;

  std::memcpy(buf, pattern, prefixLen);
  std::strcpy(buf + prefixLen, number);
  std::strcat(buf + prefixLen, suffix);
  return true;
}
