// Finding the terminal: serial device candidates and what they answered,
// and the USB identities of the library's table. A probe writes nothing
// but the online check, and only to a terminal line that opened.
#ifndef TLXCTL_PROBE_H
#define TLXCTL_PROBE_H

#include <functional>
#include <string>
#include <vector>

namespace tlxctl {

// A serial device and how the library addresses it: the pattern for
// TLX_SERIAL_PATH and the port number (pattern empty: not addressable).
struct SerialCandidate {
  std::string path;
  std::string pattern;
  int port = 0;
};

constexpr const char* kDefaultSerialPattern = "/dev/ttyS%d";

// True when pattern holds exactly one "%d" and no other '%', as the
// library wants it.
bool IsSerialPattern(const std::string& pattern);
// PATTERN with "%d": its devices 0..count-1 (ports 1..count); a plain path:
// that device, addressed through the number at its end.
std::vector<SerialCandidate> CandidatesOf(const std::string& patternOrPath, int count);
// /dev/ttyS0..7, /dev/ttyUSB0..7 and the devices of TLX_SERIAL_PATH.
std::vector<SerialCandidate> DefaultCandidates(int count);

struct Attempt {
  int baud = 0;
  char bp = 0;  // 0: no channel
  int result = 0;
  std::string model;
};

struct SerialFinding {
  SerialCandidate candidate;
  // absent, not-a-tty, no-access, not-addressable, silent, answers
  std::string state;
  std::string error;
  std::vector<Attempt> attempts;
};

// Opens the device to see that it is a terminal line, then runs the online
// check at every rate and channel until one answers (all: every one).
SerialFinding ProbeSerial(const SerialCandidate& c, const std::vector<int>& rates,
                          const std::vector<char>& letters, bool all);

// Receives a line for the person watching as each device is tried.
using ProbeProgress = std::function<void(const std::string&)>;

// Every candidate, the terminal lines side by side (a child process each),
// so that silent lines cost the time of one, not of all. The findings come
// in the candidates' order; a signal ends the children still waiting.
std::vector<SerialFinding> ProbeSerialAll(const std::vector<SerialCandidate>& candidates,
                                          const std::vector<int>& rates,
                                          const std::vector<char>& letters, bool all,
                                          const ProbeProgress& progress);

struct UsbIdentity {
  unsigned vendorId = 0;
  unsigned productId = 0;
  bool present = false;
  int bus = 0;
  int address = 0;
};

struct UsbFinding {
  std::string state;  // unlisted, absent, silent, answers
  std::string error;
  std::vector<UsbIdentity> identities;
  int result = 0;
  std::string model;
};

// Lists the USB devices; when one of the identities is present, runs the
// online check on port 0.
UsbFinding ProbeUsb();

}  // namespace tlxctl

#endif
