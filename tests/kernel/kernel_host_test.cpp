// The kernel runner's host tool against a stand-in for QEMU: listening
// sockets where QEMU's chardevs would be (an agent port, a UART and the
// channel joined to it) and an agent that runs each script with the host's
// shell. The relay must drop what comes before the guest is up, join the
// pair both ways, never stall on a side that takes nothing; a command must
// arrive with its environment, arguments, directory and status intact.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

int Listen(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0) return -1;
  return fd;
}

// Reads what arrives until `quietMs` pass without a byte.
std::string Drain(int fd, int quietMs) {
  std::string got;
  char buf[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0) return got;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return got;
    got.append(buf, static_cast<size_t>(n));
  }
}

std::string ReadExactly(int fd, size_t n) {
  std::string got;
  while (got.size() < n) {
    char buf[4096];
    ssize_t r = recv(fd, buf, std::min(sizeof buf, n - got.size()), 0);
    if (r <= 0) break;
    got.append(buf, static_cast<size_t>(r));
  }
  return got;
}

void SendAll(int fd, const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return;
    off += static_cast<size_t>(n);
  }
}

struct Result {
  std::string out;
  int status = -1;
};

class KernelHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tlx-khost-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = tmpl;
    // The guest's busybox: "$BB applet args" runs the host's applet.
    std::ofstream(dir_ + "/bb") << "#!/bin/sh\nexec \"$@\"\n";
    chmod((dir_ + "/bb").c_str(), 0755);
    int agentL = Listen(dir_ + "/agent0.sock");
    int uartL = Listen(dir_ + "/uartA.sock");
    int lineL = Listen(dir_ + "/lineA.sock");
    ASSERT_GE(agentL, 0);
    ASSERT_GE(uartL, 0);
    ASSERT_GE(lineL, 0);
    serve_ = fork();
    if (serve_ == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(open((dir_ + "/serve.err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
      execl(TLX_KERNEL_HOST, TLX_KERNEL_HOST, "serve", dir_.c_str(), "1", "uartA", "lineA",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    uart_ = accept(uartL, nullptr, nullptr);
    line_ = accept(lineL, nullptr, nullptr);
    agent_ = accept(agentL, nullptr, nullptr);
    for (int fd : {agentL, uartL, lineL}) close(fd);
    ASSERT_GE(agent_, 0);
    agentThread_ = std::thread([this] { Agent(); });
  }

  void TearDown() override {
    StopServe();
    if (agent_ >= 0) shutdown(agent_, SHUT_RDWR);
    if (agentThread_.joinable()) agentThread_.join();
    for (int fd : {agent_, uart_, line_}) close(fd);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  int StopServe() {
    if (serve_ <= 0) return -1;
    kill(serve_, SIGTERM);
    int status = 0;
    waitpid(serve_, &status, 0);
    serve_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The guest's agent: "RUN <len>" and a script, answered with its output
  // and status.
  void Agent() {
    for (;;) {
      std::string header;
      char c;
      while (recv(agent_, &c, 1, 0) == 1 && c != '\n') header += c;
      size_t len = 0;
      if (std::sscanf(header.c_str(), "RUN %zu", &len) != 1) return;
      std::ofstream(dir_ + "/cmd") << ReadExactly(agent_, len);
      std::string sh = "BB='" + dir_ + "/bb' GUEST_PATH= sh '" + dir_ + "/cmd' 2>&1";
      FILE* p = popen(sh.c_str(), "r");
      std::string out;
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      int status = pclose(p);
      int rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      SendAll(agent_, "OUT " + std::to_string(out.size()) + "\n" + out + "EXIT " +
                          std::to_string(rc) + "\n");
    }
  }

  // tlx-kernel-host run DIR OPTIONS... -- ARGS...
  pid_t StartRun(const std::vector<std::string>& args, int* outFd) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
      dup2(pipeFds[1], 1);
      close(pipeFds[0]);
      std::vector<std::string> all = {TLX_KERNEL_HOST, "run", dir_};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (auto& a : all) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execv(TLX_KERNEL_HOST, argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    *outFd = pipeFds[0];
    return pid;
  }

  Result Run(const std::vector<std::string>& args) {
    int fd = -1;
    pid_t pid = StartRun(args, &fd);
    Result r;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  std::string dir_;
  pid_t serve_ = -1;
  int agent_ = -1, uart_ = -1, line_ = -1;  // QEMU's ends
  std::thread agentThread_;
};

TEST_F(KernelHostTest, CommandKeepsItsEnvironmentArgumentsDirectoryAndStatus) {
  const std::string odd = "a b'c\"d$e\\f\ng;h*";
  setenv("TLX_KHOST_INHERITED", "kept", 1);
  setenv("TLX_KHOST_REMOVED", "gone?", 1);
  Result r = Run({"-t", "20", "-C", "/usr", "-e", "TLX_KHOST_ODD=" + odd, "-u", "TLX_KHOST_REMOVED",
                  "--", "sh", "-c",
                  "printf '[%s][%s][%s][%s][%s]' \"$TLX_KHOST_ODD\" \"$1\" \"$(pwd)\" "
                  "\"$TLX_KHOST_INHERITED\" \"${TLX_KHOST_REMOVED-unset}\"; exit 3",
                  "sh", odd});
  unsetenv("TLX_KHOST_INHERITED");
  unsetenv("TLX_KHOST_REMOVED");
  EXPECT_EQ("[" + odd + "][" + odd + "][/usr][kept][unset]", r.out);
  EXPECT_EQ(3, r.status);
}

TEST_F(KernelHostTest, UartIsJoinedBothWaysOnlyOnceTheGuestIsUp) {
  SendAll(uart_, "firmware noise");
  EXPECT_EQ("", Drain(line_, 200)) << "bytes from before the first command are dropped";
  ASSERT_EQ(0, Run({"--", "true"}).status);
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  SendAll(uart_, bytes);
  EXPECT_EQ(bytes, Drain(line_, 300));
  SendAll(line_, "\x02\xaa\x03");
  EXPECT_EQ("\x02\xaa\x03", Drain(uart_, 300));
}

// A side that takes nothing (a closed port: QEMU stops reading its chardev)
// must not hold up the other direction, the agents, or QEMU's writes: what
// overflows the bounded buffer is dropped and reported at the end.
TEST_F(KernelHostTest, SideThatTakesNothingStallsNothing) {
  ASSERT_EQ(0, Run({"--", "true"}).status);
  int small = 4096;
  setsockopt(line_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  const std::string block(64 * 1024, 'x');
  fcntl(uart_, F_SETFL, fcntl(uart_, F_GETFL) | O_NONBLOCK);
  size_t sent = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sent < 3u * 1024 * 1024 && std::chrono::steady_clock::now() < end) {
    ssize_t n = send(uart_, block.data(), block.size(), MSG_NOSIGNAL);
    if (n > 0)
      sent += static_cast<size_t>(n);
    else
      usleep(1000);
  }
  EXPECT_GE(sent, 3u * 1024 * 1024) << "the relay kept reading the UART";
  SendAll(line_, "back");
  EXPECT_EQ("back", Drain(uart_, 300));
  EXPECT_EQ("ok\n", Run({"--", "echo", "ok"}).out);
  EXPECT_EQ(1, StopServe());
  std::ifstream err(dir_ + "/serve.err");
  std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_NE(std::string::npos, text.find("dropped")) << text;
}

TEST_F(KernelHostTest, ClientThatLeavesNeverGetsItsAnswerToTheNext) {
  int fd = -1;
  pid_t first = StartRun({"--", "sh", "-c", "sleep 1; echo first"}, &fd);
  usleep(300000);
  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);
  close(fd);
  Result r = Run({"--", "echo", "second"});
  EXPECT_EQ("second\n", r.out);
  EXPECT_EQ(0, r.status);
}

TEST_F(KernelHostTest, CommandOverItsTimeIsKilledWith124) {
  const auto t0 = std::chrono::steady_clock::now();
  Result r = Run({"-t", "1", "--", "sleep", "20"});
  EXPECT_EQ(124, r.status);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

}  // namespace
