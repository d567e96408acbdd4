// Two processes on one terminal at once, first on the serial line, then on
// USB: while one holds the link the other is refused with -3 (the serial
// port's lock, the USB interface's claim), every call that got through has
// the right answer, and the terminal heard only whole commands: bytes of
// the two never interleaved on the wire.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

#include "soak.h"
#include "tlxdev.h"

namespace tlxsoak {
namespace {

std::string Printable(const std::string& bytes) {
  std::string s;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      s += hex;
    }
  }
  return s;
}

struct Counts {
  int ok = 0, busy = 0, other = 0;
};

// Calls alternate between the version and the online check.
Counts RunCalls(int port, int calls) {
  Counts c;
  for (int i = 0; i < calls; ++i) {
    char out[TLX_VERSION_SIZE] = {0};
    const int rc = i % 2 ? TLX_CheckOnline(port, 0, 9600, out) : TLX_GetVer(port, 0, 9600, out);
    // The online check gives 0 without a model when its first probe found
    // the link taken and the second got the other model's refusal.
    const bool right =
        std::strcmp(out, i % 2 ? "R40" : "TLX-1.4.2") == 0 || (i % 2 == 1 && out[0] == '\0');
    if (rc == 0 && right)
      ++c.ok;
    else if (rc == -3)
      ++c.busy;
    else
      ++c.other;
    // Both processes pace their calls a little, so that they overlap.
    usleep(static_cast<useconds_t>(1000 * (i * 7 % 20)));
  }
  return c;
}

}  // namespace

int TwoProcessesChild(int port, int calls) {
  const Counts c = RunCalls(port, calls);
  std::printf("ok %d busy %d other %d\n", c.ok, c.busy, c.other);
  return 0;
}

int TwoProcesses(const Options& o, const std::string& self) {
  const int calls = o.shortRun ? 60 : 400;
  std::printf(
      "two processes: %d calls each at once on one serial port, then on one USB "
      "terminal\n",
      calls);
  std::fflush(stdout);
  tlxsim::VirtualTerminal vt;
  vt.Start();
  Violations v("twoproc");
  std::atomic<int> ignored{0};
  vt.engine().SetLogger([&](const std::string& line) {
    if (line.find(" ignored ") != std::string::npos) ++ignored;
  });
  const std::set<std::string> expected = {"\x1b[0GETDEVICEINFO", "\x1b[0CHECKR40", "\x1b[0CHECKk60",
                                          "\x1b%A"};
  for (int port : {vt.serialPort(), 0}) {
    const char* link = port == 0 ? "USB" : "serial";
    vt.ClearHistory();
    ignored = 0;
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      const std::string p = std::to_string(port), n = std::to_string(calls);
      execl(self.c_str(), self.c_str(), "--child", p.c_str(), n.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    const Counts mine = RunCalls(port, calls);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Counts theirs;
    // The library's load hook writes to standard output as well.
    const size_t at = out.find("ok ");
    if (at == std::string::npos ||
        std::sscanf(out.c_str() + at, "ok %d busy %d other %d", &theirs.ok, &theirs.busy,
                    &theirs.other) != 3 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      v.Add(std::string(link) + ": the second process failed: " + out);
    std::printf(
        "  %-6s this process: %d ok, %d refused (-3), %d other; the other: %d ok, %d "
        "refused, %d other\n",
        link, mine.ok, mine.busy, mine.other, theirs.ok, theirs.busy, theirs.other);
    if (mine.busy + theirs.busy == 0) v.Add(std::string(link) + ": nobody was refused with -3");
    if (mine.other + theirs.other != 0)
      v.Add(std::string(link) + ": calls with a wrong answer or another failure");
    int heard = 0;
    for (const tlxsim::Received& r : vt.History()) {
      if (expected.count(r.bytes) == 0)
        v.Add(std::string(link) + ": the terminal heard a mixed command: " + Printable(r.bytes));
      else if (r.bytes != "\x1b%A")
        ++heard;
    }
    if (heard < mine.ok + theirs.ok)
      v.Add(std::string(link) + ": fewer commands heard than answered");
    if (ignored.load() != 0)
      v.Add(std::string(link) + ": " + std::to_string(ignored.load()) + " bytes runs ignored");
  }
  vt.engine().SetLogger(nullptr);
  std::printf("two processes: %d violations\n", v.Count());
  vt.Stop();
  return v.Count();
}

}  // namespace tlxsoak
