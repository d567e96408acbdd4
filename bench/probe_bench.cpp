// tlx-probe-bench: how long `tlxctl probe` takes on a PC whose serial ports
// are silent (nothing attached). It makes silent serial lines (pseudo-
// terminals nobody answers on), names them tty0..N-1 in a scratch folder and
// times the probe of all of them, and of one alone.
//   tlx-probe-bench [LINES]   (default 4)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs tlxctl probe over the lines pattern (count of them) and gives the
// seconds it took; -1 when it did not run.
double TimeProbe(const std::string& pattern, int count) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const std::string n = std::to_string(count);
    execl(TLXCTL_PATH, TLXCTL_PATH, "probe", "--ports", pattern.c_str(), "--count", n.c_str(),
          "--no-usb", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  // 3: nothing found, which is what silent lines give.
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 3) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 4;
  if (lines < 1 || lines > 32) {
    std::fprintf(stderr, "usage: tlx-probe-bench [LINES 1..32]\n");
    return 2;
  }
  char dirTemplate[] = "/tmp/tlx-probe-bench-XXXXXX";
  const char* dir = mkdtemp(dirTemplate);
  if (dir == nullptr) return 1;
  std::vector<int> masters;
  for (int k = 0; k < lines; ++k) {
    const int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) return 1;
    const std::string link = std::string(dir) + "/tty" + std::to_string(k);
    if (symlink(ptsname(m), link.c_str()) != 0) return 1;
    masters.push_back(m);
  }
  // Nobody answers; what the probe writes is read and dropped.
  std::atomic<bool> done{false};
  std::thread drain([&] {
    std::vector<pollfd> fds;
    for (int m : masters) fds.push_back({m, POLLIN, 0});
    char buf[512];
    while (!done.load()) {
      if (poll(fds.data(), fds.size(), 100) <= 0) continue;
      for (const pollfd& p : fds)
        if (p.revents & POLLIN) (void)!read(p.fd, buf, sizeof buf);
    }
  });

  const std::string pattern = std::string(dir) + "/tty%d";
  const double one = TimeProbe(pattern, 1);
  const double all = TimeProbe(pattern, lines);
  done = true;
  drain.join();
  for (int k = 0; k < lines; ++k) unlink((std::string(dir) + "/tty" + std::to_string(k)).c_str());
  rmdir(dir);
  for (int m : masters) close(m);
  if (one < 0 || all < 0) {
    std::fprintf(stderr, "tlx-probe-bench: tlxctl probe did not run as expected\n");
    return 1;
  }
  std::printf("tlxctl probe, silent serial lines, default rates (9600 115200 1200), no channel:\n");
  std::printf("  1 line:  %5.1f s\n", one);
  std::printf(
      "  %d lines: %5.1f s (tried side by side; one after the other they would take "
      "about %.0f s)\n",
      lines, all, one * lines);
  return 0;
}
