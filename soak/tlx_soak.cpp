// tlx-soak: the soak scenarios of libtlxdev against the in-process virtual
// terminal (run with the libusb stand-in on LD_LIBRARY_PATH, as
// scripts/run-soak.sh does).
//   tlx-soak [--short] [--seed N] [--exchanges N] [hostile|cancel|unplug|resources|twoproc]...
// Exit code 0 when no scenario found a violation.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "soak.h"

namespace {

std::string SelfPath(const char* argv0) {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return argv0;
  buf[n] = '\0';
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
    return tlxsoak::TwoProcessesChild(std::atoi(argv[2]), std::atoi(argv[3]));
  tlxsoak::Options o;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--short") {
      o.shortRun = true;
    } else if (a == "--exchanges" && i + 1 < argc) {
      o.exchanges = std::atoi(argv[++i]);
    } else if (a == "--seed" && i + 1 < argc) {
      o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "hostile" || a == "cancel" || a == "unplug" || a == "resources" ||
               a == "twoproc") {
      names.push_back(a);
    } else {
      std::fprintf(stderr,
                   "usage: %s [--short] [--seed N] [--exchanges N] "
                   "[hostile|cancel|unplug|resources|twoproc]...\n",
                   argv[0]);
      return 2;
    }
  }
  if (names.empty()) names = {"hostile", "cancel", "unplug", "resources", "twoproc"};
  int violations = 0;
  for (const std::string& n : names) {
    if (n == "hostile") violations += tlxsoak::Hostile(o);
    if (n == "cancel") violations += tlxsoak::CancelStorm(o);
    if (n == "unplug") violations += tlxsoak::Unplug(o);
    if (n == "resources") violations += tlxsoak::Resources(o);
    if (n == "twoproc") violations += tlxsoak::TwoProcesses(o, SelfPath(argv[0]));
    std::fflush(stdout);
  }
  std::printf("soak: %d violations\n", violations);
  return violations == 0 ? 0 : 1;
}
