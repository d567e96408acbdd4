// tlx-sim --gadget as a program: it takes its gadget away when it ends on
// SIGTERM, and a gadget left by a process that was killed is removed by
// the next terminal that starts.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <fstream>
#include <thread>

#include "GadgetConfig.h"
#include "GadgetTest.h"
#include "tlxdev.h"

namespace tlxtest {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Mount points of FunctionFS instances whose source starts with prefix.
int FunctionFsMounts(const std::string& prefix) {
  std::ifstream mounts("/proc/self/mounts");
  std::string source, target, type, rest;
  int n = 0;
  while (mounts >> source >> target >> type && std::getline(mounts, rest))
    if (type == "functionfs" && source.rfind(prefix, 0) == 0) ++n;
  return n;
}

// Starts tlx-sim --gadget; returns its pid once it has written its env file.
pid_t StartProgram(const std::string& envFile) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(TLXSIM_PROGRAM, TLXSIM_PROGRAM, "--gadget", "--no-serial", "--env-file",
            envFile.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 500 && !Exists(envFile); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return pid;
}

class GadgetProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    TLX_NEED_GADGET();
    envFile_ = "/tmp/tlx-gadget-env-" + std::to_string(::getpid());
  }
  std::string envFile_;
};

TEST_F(GadgetProgram, SigtermRemovesTheGadget) {
  const pid_t pid = StartProgram(envFile_);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(Exists(envFile_)) << "tlx-sim --gadget did not come up";
  const std::string id = std::to_string(pid) + "-0";
  const std::string dir = std::string(tlxsim::GadgetConfig::kGadgetRoot) + "/tlxsim-" + id;
  EXPECT_TRUE(Exists(dir));
  EXPECT_EQ(1, FunctionFsMounts("tlx" + id));
  ASSERT_EQ(0, ::kill(pid, SIGTERM));
  int status = -1;
  ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(Exists(dir));
  EXPECT_EQ(0, FunctionFsMounts("tlx" + id));
  EXPECT_FALSE(Exists(envFile_));
}

TEST_F(GadgetProgram, GadgetOfAKilledProcessIsRemovedByTheNextStart) {
  const pid_t pid = StartProgram(envFile_);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(Exists(envFile_));
  const std::string id = std::to_string(pid) + "-0";
  const std::string dir = std::string(tlxsim::GadgetConfig::kGadgetRoot) + "/tlxsim-" + id;
  ASSERT_EQ(0, ::kill(pid, SIGKILL));
  int status = 0;
  ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
  ::unlink(envFile_.c_str());
  ASSERT_TRUE(Exists(dir));  // left behind, still holding its controller
  tlxsim::VirtualTerminal t(GadgetOptions());
  t.Start();
  EXPECT_FALSE(Exists(dir));
  EXPECT_EQ(0, FunctionFsMounts("tlx" + id));
  char model[TLX_MODEL_SIZE] = {0};
  EXPECT_EQ(0, TLX_CheckOnline(0, 0, 9600, model));
}

}  // namespace
}  // namespace tlxtest
