// Serial part of the probe.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cancel_on_signal.h"
#include "probe.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

// The probe's stand-in for "no channel": the library then neither selects a
// channel at open nor resets it at close, so only the online check goes out.
const char kNoChannelQuiet = '9';

std::string Expand(const std::string& pattern, int index) {
  const size_t at = pattern.find("%d");
  return pattern.substr(0, at) + std::to_string(index) + pattern.substr(at + 2);
}

}  // namespace

bool IsSerialPattern(const std::string& pattern) {
  int conversions = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    if (i + 1 >= pattern.size() || pattern[i + 1] != 'd') return false;
    ++conversions;
    ++i;
  }
  return conversions == 1;
}

std::vector<SerialCandidate> CandidatesOf(const std::string& patternOrPath, int count) {
  std::vector<SerialCandidate> out;
  if (patternOrPath.find('%') != std::string::npos) {
    if (!IsSerialPattern(patternOrPath)) {
      out.push_back({patternOrPath, "", 0});
      return out;
    }
    for (int k = 0; k < count; ++k) out.push_back({Expand(patternOrPath, k), patternOrPath, k + 1});
    return out;
  }
  // A plain path: the number at its end is the one TLX_SERIAL_PATH carries.
  SerialCandidate c{patternOrPath, "", 0};
  size_t end = patternOrPath.size();
  size_t begin = end;
  while (begin > 0 && std::isdigit(static_cast<unsigned char>(patternOrPath[begin - 1]))) --begin;
  if (begin < end && end - begin <= 6) {
    const int number = std::atoi(patternOrPath.c_str() + begin);
    const std::string pattern = patternOrPath.substr(0, begin) + "%d";
    if (Expand(pattern, number) == patternOrPath) {
      c.pattern = pattern;
      c.port = number + 1;
    }
  }
  out.push_back(c);
  return out;
}

std::vector<SerialCandidate> DefaultCandidates(int count) {
  std::vector<std::string> patterns = {kDefaultSerialPattern, "/dev/ttyUSB%d"};
  const char* env = std::getenv("TLX_SERIAL_PATH");
  if (env != nullptr && IsSerialPattern(env)) patterns.push_back(env);
  std::vector<SerialCandidate> out;
  for (const std::string& p : patterns)
    for (const SerialCandidate& c : CandidatesOf(p, count)) {
      bool seen = false;
      for (const SerialCandidate& o : out) seen = seen || o.path == c.path;
      if (!seen) out.push_back(c);
    }
  return out;
}

SerialFinding ProbeSerial(const SerialCandidate& c, const std::vector<int>& rates,
                          const std::vector<char>& letters, bool all) {
  SerialFinding f;
  f.candidate = c;
  struct stat st;
  if (::stat(c.path.c_str(), &st) != 0) {
    f.state = "absent";
    f.error = std::strerror(errno);
    return f;
  }
  if (!S_ISCHR(st.st_mode)) {
    f.state = "not-a-tty";
    f.error = "not a character device";
    return f;
  }
  // Opening and closing writes nothing; a device that does not open (no
  // permission, no hardware behind the name) is left alone.
  int fd = ::open(c.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    f.state = "no-access";
    f.error = std::strerror(errno);
    return f;
  }
  const bool tty = ::isatty(fd) != 0;
  ::close(fd);
  if (!tty) {
    f.state = "not-a-tty";
    f.error = "not a terminal line";
    return f;
  }
  if (c.pattern.empty()) {
    f.state = "not-addressable";
    f.error = "TLX_SERIAL_PATH cannot name it (it needs a number at the end of the name)";
    return f;
  }
  ::setenv("TLX_SERIAL_PATH", c.pattern.c_str(), 1);
  f.state = "silent";
  for (int baud : rates) {
    for (char bp : letters) {
      if (Interrupted()) return f;
      Attempt a;
      a.baud = baud;
      a.bp = bp;
      char model[TLX_MODEL_SIZE] = {0};
      a.result = TLX_CheckOnline(c.port, bp == 0 ? kNoChannelQuiet : bp, baud, model);
      a.model = model;
      f.attempts.push_back(a);
      if (a.result == TLX_OK) {
        f.state = "answers";
        if (!all) return f;
      }
    }
  }
  return f;
}

}  // namespace tlxctl
