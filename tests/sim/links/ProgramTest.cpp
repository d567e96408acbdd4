// tlx-sim as a program, and a library call from another process over each
// link: start tlx-sim, read the environment it writes, run tlx-example on
// port 1 (pty) and port 0 (stand-in) with it, stop tlx-sim with SIGTERM and
// check that it cleaned up. The terminal window TLX_Terminal, which runs
// the terminal the same way, goes through the same (off screen).
#include <gtest/gtest.h>

#include "UsbSimProtocol.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs argv with extra environment, stdout and stderr to `out`; returns the
// child's pid.
// What every child gets besides: the window program runs off screen, and
// in a sanitizer build the Qt programs need the options of the Qt tests.
std::map<std::string, std::string> ChildEnv() {
  std::map<std::string, std::string> env{{"QT_QPA_PLATFORM", "offscreen"}};
#ifdef TLXSIM_CHILD_LSAN_OPTIONS
  env["LSAN_OPTIONS"] = TLXSIM_CHILD_LSAN_OPTIONS;
  env["ASAN_OPTIONS"] = TLXSIM_CHILD_ASAN_OPTIONS;
#endif
#ifdef TLXSIM_CHILD_TSAN_OPTIONS
  env["TSAN_OPTIONS"] = TLXSIM_CHILD_TSAN_OPTIONS;
#endif
  return env;
}

pid_t Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
            const std::string& out) {
  const std::map<std::string, std::string> always = ChildEnv();
  pid_t pid = ::fork();
  if (pid == 0) {
    for (const auto& kv : always) ::setenv(kv.first.c_str(), kv.second.c_str(), 1);
    for (const auto& kv : env) ::setenv(kv.first.c_str(), kv.second.c_str(), 1);
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class ProgramTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/tlxsim-prog-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(templ));
    dir_ = templ;
  }
  void TearDown() override {
    if (sim_ > 0) {
      ::kill(sim_, SIGKILL);
      ::waitpid(sim_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Starts tlx-sim and waits for its environment file.
  std::map<std::string, std::string> StartSim(const std::vector<std::string>& extra) {
    std::vector<std::string> args{GetParam(), "--env-file", dir_ + "/sim.env"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim_ = Spawn(args, {}, dir_ + "/sim.log");
    std::map<std::string, std::string> env;
    for (int i = 0; i < 1000 && !fs::exists(dir_ + "/sim.env"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(dir_ + "/sim.env");
    std::string line;
    while (std::getline(in, line)) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return env;
  }

  std::string dir_;
  pid_t sim_ = -1;
};

TEST_P(ProgramTest, AnotherProcessGetsItsAnswersOverBothLinksAndStopCleansUp) {
  auto env = StartSim({"--model", "k60"});
  ASSERT_EQ(4u, env.size()) << ReadAll(dir_ + "/sim.log");
  ASSERT_EQ(1u, env.count("TLX_VIRTUAL_TERMINAL"));
  EXPECT_EQ(0u, env["TLX_SIM_USB_SOCKET"].find(env["TLX_VIRTUAL_TERMINAL"] + "/"));
  EXPECT_EQ(0u, env["TLX_SERIAL_PATH"].find(env["TLX_VIRTUAL_TERMINAL"] + "/"));
  ASSERT_EQ(1u, env.count("TLX_SERIAL_PATH"));
  ASSERT_EQ(1u, env.count("TLX_SIM_USB_SOCKET"));
  ASSERT_EQ(1u, env.count("LD_LIBRARY_PATH"));

  for (const char* port : {"1", "0"}) {
    const std::string out = dir_ + "/example" + port + ".txt";
    int code = WaitExit(Spawn({TLXSIM_EXAMPLE, port, "B"}, env, out));
    const std::string text = ReadAll(out);
    EXPECT_EQ(0, code) << "port " << port << ": " << text;
    EXPECT_NE(std::string::npos, text.find("model \"k60\"")) << text;
    EXPECT_NE(std::string::npos, text.find("TLX_GetVer(port " + std::string(port) + ") = 0"))
        << text;
    // The stand-in says what it is, once, when the USB side is first used.
    const std::string notice =
        std::string(tlxsim::usbproto::kStandInNotice) + " (" + env["TLX_SIM_USB_SOCKET"] + ")\n";
    const size_t at = text.find(notice);
    if (std::string(port) == "0") {
      EXPECT_NE(std::string::npos, at) << text;
      EXPECT_EQ(std::string::npos, text.find(notice, at + 1)) << text;
    } else {
      EXPECT_EQ(std::string::npos, at) << text;
    }
  }

  // Stdout: the variables as one env line for one command (never export
  // lines, which would keep a whole shell on the stand-in), then the log of
  // both links.
  const std::string log = ReadAll(dir_ + "/sim.log");
  EXPECT_EQ(std::string::npos, log.find("export ")) << log;
  const size_t exports = log.find("run a program against this terminal with:\n  env ");
  EXPECT_NE(std::string::npos, log.find(" TLX_SERIAL_PATH=" + env["TLX_SERIAL_PATH"] + " ")) << log;
  EXPECT_NE(std::string::npos, log.find(" COMMAND\n", exports)) << log;
  EXPECT_LT(exports, log.find(" ready, ")) << log;
  // Only the window's Qt may say something on stderr before.
  if (std::string(GetParam()) == TLXSIM_PROGRAM) {
    EXPECT_EQ(0u, exports) << log;
  }
  EXPECT_NE(std::string::npos, log.find("CHECKk60")) << log;
  EXPECT_NE(std::string::npos, log.find("GETDEVICEINFO")) << log;

  ASSERT_EQ(0, ::kill(sim_, SIGTERM));
  EXPECT_EQ(0, WaitExit(sim_));
  sim_ = -1;
  const std::string pattern = env["TLX_SERIAL_PATH"];
  EXPECT_FALSE(fs::exists(env["TLX_SIM_USB_SOCKET"]));
  EXPECT_FALSE(fs::exists(fs::path(pattern).parent_path()));
  EXPECT_FALSE(fs::exists(dir_ + "/sim.env"));
}

// The C example of README.md, compiled from the file as it stands, talks
// to the terminal over USB; without one it names the failure in words.
TEST_P(ProgramTest, ReadmeExampleRunsAgainstTheTerminal) {
  auto env = StartSim({});
  ASSERT_EQ(4u, env.size()) << ReadAll(dir_ + "/sim.log");
  const std::string out = dir_ + "/readme.txt";
  EXPECT_EQ(0, WaitExit(Spawn({TLX_README_EXAMPLE}, env, out))) << ReadAll(out);
  std::string text = ReadAll(out);
  // Its output is its one line: the library's load and unload hooks print
  // nothing (the stand-in's notice, on standard error, is left out here).
  const size_t notice = text.find(tlxsim::usbproto::kStandInNotice);
  if (notice != std::string::npos) text.erase(notice, text.find('\n', notice) + 1 - notice);
  EXPECT_EQ(0u, text.find("model R40, version TLX-")) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  EXPECT_EQ(std::string::npos, text.find("test_")) << text;
  EXPECT_NE(std::string::npos, ReadAll(dir_ + "/sim.log").find("GETDEVICEINFO"));

  env["TLX_SIM_USB_SOCKET"] = dir_ + "/nobody.sock";
  EXPECT_EQ(1, WaitExit(Spawn({TLX_README_EXAMPLE}, env, out)));
  EXPECT_NE(std::string::npos,
            ReadAll(out).find("TLX: port cannot be opened, or another command is running (-3)\n"))
      << ReadAll(out);
  EXPECT_EQ(std::string::npos, ReadAll(out).find("model"));
}

TEST_P(ProgramTest, BadOptionsAreRefusedWithUsage) {
  const std::string out = dir_ + "/bad.txt";
  EXPECT_EQ(2, WaitExit(Spawn({GetParam(), "--model", "X99"}, {}, out)));
  EXPECT_NE(std::string::npos, ReadAll(out).find("usage:"));
  EXPECT_EQ(2, WaitExit(Spawn({GetParam(), "--info-delay", "soon"}, {}, out)));
  EXPECT_EQ(2, WaitExit(Spawn({GetParam(), "--usb-id", "2fb0"}, {}, out)));
  EXPECT_EQ(2, WaitExit(Spawn({GetParam(), "--no-answer", "dance"}, {}, out)));
}

TEST_P(ProgramTest, PacedTerminalSaysSo) {
  auto env = StartSim({"--pace", "--no-serial"});
  ASSERT_EQ(3u, env.size()) << ReadAll(dir_ + "/sim.log");
  const std::string out = dir_ + "/example.txt";
  EXPECT_EQ(0, WaitExit(Spawn({TLXSIM_EXAMPLE, "0"}, env, out))) << ReadAll(out);
  EXPECT_NE(std::string::npos, ReadAll(dir_ + "/sim.log").find(", USB port 0, paced; storage"));
}

INSTANTIATE_TEST_SUITE_P(Sim, ProgramTest, ::testing::Values(TLXSIM_PROGRAM));

#ifdef TLXSIM_WINDOW_PROGRAM
INSTANTIATE_TEST_SUITE_P(Window, ProgramTest, ::testing::Values(TLXSIM_WINDOW_PROGRAM));

class ProgramTestWindow : public ProgramTest {};

// The window's own options come before or among tlx-sim's.
TEST_F(ProgramTestWindow, OwnOptionsAndUsage) {
  const std::string out = dir_ + "/help.txt";
  EXPECT_EQ(0, WaitExit(Spawn({TLXSIM_WINDOW_PROGRAM, "--help"}, {}, out)));
  const std::string help = ReadAll(out);
  EXPECT_NE(std::string::npos, help.find("--scripted")) << help;
  EXPECT_NE(std::string::npos, help.find("--pace")) << help;
  EXPECT_EQ(2, WaitExit(Spawn({TLXSIM_WINDOW_PROGRAM, "--pictures"}, {}, out))) << ReadAll(out);
  EXPECT_NE(std::string::npos, ReadAll(out).find("--pictures needs a directory"));
  EXPECT_EQ(2, WaitExit(Spawn({TLXSIM_WINDOW_PROGRAM, "--scripted", "--dance"}, {}, out)));
  EXPECT_NE(std::string::npos, ReadAll(out).find("unknown option: --dance"));
}
#endif

}  // namespace
