#include "CtlTest.h"

#include "UsbSimProtocol.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "tlxdev.h"

extern char** environ;

namespace tlxtest {

namespace {

// Builds the child's environment: this process's, with the changes.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& c : changes)
      replaced = replaced || entry.compare(0, c.first.size() + 1, c.first + "=") == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& c : changes)
    if (c.second != "\x01") env.push_back(c.first + "=" + c.second);
  return env;
}

}  // namespace

CtlResult RunCtl(const CtlRun& run) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    return CtlResult();
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  if (!run.cwd.empty()) posix_spawn_file_actions_addchdir_np(&fa, run.cwd.c_str());

  std::vector<std::string> args = run.prefix;
  args.push_back(TLXCTL_PATH);
  args.insert(args.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::vector<std::string> env = ChildEnvironment(run.env);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0].c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  CtlResult r;
  if (spawned != 0) {
    close(in[1]);
    close(out[0]);
    close(err[0]);
    return r;
  }
  signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  int inFd = in[1];
  if (run.input.empty()) {
    close(inFd);
    inFd = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  bool outOpen = true, errOpen = true, interrupted = false;
  while (outOpen || errOpen) {
    if (!interrupted && run.interruptWhen && run.interruptWhen()) {
      kill(pid, SIGINT);
      interrupted = true;
    }
    pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    if (poll(fds, static_cast<nfds_t>(n), 200) < 0) break;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == inFd) {
        ssize_t w = write(inFd, run.input.data() + written, run.input.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 || written == run.input.size()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      char buf[8192];
      ssize_t got = read(fds[i].fd, buf, sizeof buf);
      std::string& sink = fds[i].fd == out[0] ? r.out : r.err;
      if (got > 0) {
        sink.append(buf, static_cast<size_t>(got));
      } else {
        (fds[i].fd == out[0] ? outOpen : errOpen) = false;
      }
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      break;
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // The libusb stand-in's notice belongs to the test setup, not to tlxctl.
  const size_t notice = r.err.find(tlxsim::usbproto::kStandInNotice);
  if (notice != std::string::npos) {
    const size_t end = r.err.find('\n', notice);
    r.err.erase(notice, end == std::string::npos ? std::string::npos : end + 1 - notice);
  }
  return r;
}

CtlResult RunCtl(std::vector<std::string> args) {
  CtlRun run;
  run.args = std::move(args);
  return RunCtl(run);
}

Json ParseJson(const std::string& text) { return Json(cJSON_Parse(text.c_str()), cJSON_Delete); }

std::string JsonString(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsString(item) ? item->valuestring : std::string("<not a string>");
}

double JsonNumber(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsNumber(item) ? item->valuedouble : -12345.0;
}

void WriteFile(const std::string& path, const std::string& bytes, int mode) {
  WriteFile(path, bytes);
  chmod(path.c_str(), static_cast<mode_t>(mode));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void CtlTest::SetUp() {
  CommandTest::SetUp();
  engine().SetLogger([this](const std::string& line) {
    std::lock_guard<std::mutex> lock(logMu_);
    log_ += line + "\n";
  });
}

void CtlTest::TearDown() {
  engine().SetLogger(nullptr);
  CommandTest::TearDown();
}

std::string CtlTest::SimLog() {
  std::lock_guard<std::mutex> lock(logMu_);
  return log_;
}

CtlResult CtlTest::Ctl(tlxsim::Link link, std::vector<std::string> args, const std::string& input,
                       std::function<bool()> interruptWhen) {
  CtlRun run;
  run.args = {"--port", std::to_string(PortOf(link))};
  run.args.insert(run.args.end(), args.begin(), args.end());
  run.input = input;
  run.env = extraEnv_;
  run.cwd = Scratch("");
  run.interruptWhen = std::move(interruptWhen);
  return RunCtl(run);
}

void ExpectRangeError(const CtlResult& r, const std::string& range) {
  EXPECT_EQ(r.status, 2) << "out: " << r.out << "\nerr: " << r.err;
  EXPECT_NE(r.err.find(range), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

void ExpectCtlError(const CtlResult& r, int code, const char* command) {
  EXPECT_EQ(r.status, 10 - code) << "out: " << r.out << "\nerr: " << r.err;
  const std::string line = std::string("tlxctl: ") + command + ": error " + std::to_string(code) +
                           ": " + TLX_StrError(code) + "\n";
  EXPECT_EQ(r.err.compare(0, line.size(), line), 0) << r.err;
  EXPECT_EQ(r.out, "");
}

}  // namespace tlxtest
