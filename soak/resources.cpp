// Resources over a long run: exchanges with a terminal that answers at
// once (one in a hundred over the serial line, the rest over USB), with the
// process's open descriptors, resident memory and threads after the first
// 1000 compared with the end.
#include <dirent.h>

#include <fstream>

#include "soak.h"
#include "tlxdev.h"

namespace tlxsoak {
namespace {

struct Usage {
  int fds = 0;
  long rssKiB = 0;
  int threads = 0;
};

Usage Now() {
  Usage u;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++u.fds;
    closedir(d);
    u.fds -= 3;  // ".", ".." and the directory's own descriptor
  }
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") status >> u.rssKiB;
    if (key == "Threads:") status >> u.threads;
  }
  return u;
}

}  // namespace

int Resources(const Options& o) {
  const int exchanges = o.exchanges > 0 ? o.exchanges : o.shortRun ? 5000 : 100000;
  const long rssSlackKiB = 1024;
  std::printf("resources: %d exchanges, answered at once\n", exchanges);
  std::fflush(stdout);
  tlxsim::VirtualTerminal vt;
  vt.Start();
  Violations v("resources");
  Usage first;
  int failures = 0;
  const SoakClock::time_point start = SoakClock::now();
  for (int i = 0; i < exchanges; ++i) {
    const int port = i % 100 == 99 ? vt.serialPort() : 0;
    char version[TLX_VERSION_SIZE] = {0};
    if (TLX_GetVer(port, 0, 9600, version) != 0) ++failures;
    // The virtual terminal keeps every command it heard for tests to look
    // at; that record lives in this process too and is no part of the host.
    if ((i + 1) % 1000 == 0) vt.ClearHistory();
    if (i + 1 == 1000) first = Now();
    if ((i + 1) % 20000 == 0) {
      const Usage u = Now();
      std::printf("  %d exchanges, %.0f s: %d descriptors, %ld KiB, %d threads\n", i + 1,
                  MsSince(start) / 1000, u.fds, u.rssKiB, u.threads);
      std::fflush(stdout);
    }
  }
  const Usage last = Now();
  std::printf("  after 1000: %d descriptors, %ld KiB resident, %d threads\n", first.fds,
              first.rssKiB, first.threads);
  std::printf(
      "  at the end: %d descriptors, %ld KiB resident, %d threads (%.0f s, %d failed "
      "exchanges)\n",
      last.fds, last.rssKiB, last.threads, MsSince(start) / 1000, failures);
  if (failures != 0) v.Add(std::to_string(failures) + " exchanges failed");
  if (last.fds != first.fds)
    v.Add("descriptors " + std::to_string(first.fds) + " -> " + std::to_string(last.fds));
  if (last.threads != first.threads)
    v.Add("threads " + std::to_string(first.threads) + " -> " + std::to_string(last.threads));
  if (last.rssKiB > first.rssKiB + rssSlackKiB)
    v.Add("resident memory " + std::to_string(first.rssKiB) + " -> " + std::to_string(last.rssKiB) +
          " KiB");
  std::printf("resources: %d exchanges, %d violations\n", exchanges, v.Count());
  vt.Stop();
  return v.Count();
}

}  // namespace tlxsoak
