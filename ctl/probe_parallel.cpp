// The serial devices of a probe, tried side by side: each terminal line gets
// a child process of its own (the library runs one command at a time in a
// process, and a silent line costs seconds per rate), which reports every
// attempt through a pipe as it ends. The parent shows each device as it is
// tried and gathers the findings in the candidates' order.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "cancel_on_signal.h"
#include "cli.h"
#include "probe.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

struct Running {
  size_t index;  // into the findings
  pid_t pid;
  int fd;
  std::string pending;  // a line not yet complete
};

// The child's side: one line per attempt, "baud letter result model".
[[noreturn]] void RunChild(const SerialCandidate& c, const std::vector<int>& rates,
                           const std::vector<char>& letters, bool all, int fd) {
  // The parent's signal thread does not exist here: take the signals back,
  // so that the parent can end a child that is still waiting.
  sigset_t set;
  sigemptyset(&set);
  pthread_sigmask(SIG_SETMASK, &set, nullptr);
  const SerialFinding f = ProbeSerial(c, rates, letters, all);
  for (const Attempt& a : f.attempts) {
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%d %d %d %s\n", a.baud, a.bp, a.result,
                                a.model.empty() ? "-" : a.model.c_str());
    if (n > 0) (void)!::write(fd, line, static_cast<size_t>(n));
  }
  _exit(0);
}

void TakeLine(const std::string& line, SerialFinding* f, const ProbeProgress& progress) {
  std::istringstream in(line);
  Attempt a;
  int bp = 0;
  std::string model;
  if (!(in >> a.baud >> bp >> a.result >> model)) return;
  a.bp = static_cast<char>(bp);
  if (model != "-") a.model = model;
  f->attempts.push_back(a);
  if (a.result == TLX_OK) f->state = "answers";
  progress(f->candidate.path + " at " + std::to_string(a.baud) + "/" + LetterName(a.bp) + ": " +
           (a.result == TLX_OK ? std::string("answers")
                               : std::to_string(a.result) + " " + TLX_StrError(a.result)));
}

}  // namespace

std::vector<SerialFinding> ProbeSerialAll(const std::vector<SerialCandidate>& candidates,
                                          const std::vector<int>& rates,
                                          const std::vector<char>& letters, bool all,
                                          const ProbeProgress& progress) {
  std::vector<SerialFinding> findings;
  std::vector<Running> running;
  std::string plan;
  for (int b : rates)
    for (char l : letters)
      plan += (plan.empty() ? "" : " ") + std::to_string(b) + "/" + LetterName(l);
  for (const SerialCandidate& c : candidates) {
    // The checks that write nothing (is it there, a terminal line, one the
    // library can name) run here; they take no time.
    SerialFinding f = ProbeSerial(c, {}, {}, all);
    findings.push_back(f);
    if (f.state != "silent") continue;
    int fds[2];
    if (::pipe(fds) != 0) {
      findings.back().state = "no-access";
      findings.back().error = std::string("cannot start its probe: ") + std::strerror(errno);
      continue;
    }
    progress("trying " + c.path + " at " + plan);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      RunChild(c, rates, letters, all, fds[1]);
    }
    ::close(fds[1]);
    if (pid < 0) {
      ::close(fds[0]);
      findings.back().state = "no-access";
      findings.back().error = std::string("cannot start its probe: ") + std::strerror(errno);
      continue;
    }
    running.push_back({findings.size() - 1, pid, fds[0], ""});
  }

  bool stopped = false;
  while (!running.empty()) {
    if (Interrupted() && !stopped) {
      // The probe writes nothing but the online check, so a child cut off in
      // the middle of one leaves nothing behind on the line.
      for (const Running& r : running) ::kill(r.pid, SIGKILL);
      stopped = true;
    }
    std::vector<pollfd> polls;
    for (const Running& r : running) polls.push_back({r.fd, POLLIN, 0});
    if (::poll(polls.data(), polls.size(), 100) < 0 && errno != EINTR) break;
    for (size_t k = polls.size(); k-- > 0;) {
      if (polls[k].revents == 0) continue;
      Running& r = running[k];
      char buf[512];
      const ssize_t n = ::read(r.fd, buf, sizeof buf);
      if (n > 0) {
        r.pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = r.pending.find('\n')) != std::string::npos) {
          TakeLine(r.pending.substr(0, nl), &findings[r.index], progress);
          r.pending.erase(0, nl + 1);
        }
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      ::close(r.fd);
      int status = 0;
      while (::waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {
      }
      SerialFinding& f = findings[r.index];
      if (f.state != "answers")
        progress(f.candidate.path + ": " +
                 (f.attempts.empty() ? "not tried to the end" : "no answer"));
      running.erase(running.begin() + static_cast<long>(k));
    }
  }
  return findings;
}

}  // namespace tlxctl
