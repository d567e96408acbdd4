// Run directories of virtual terminals whose process died are removed by
// the next terminal that starts; nothing else is touched.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "RunDir.h"

namespace fs = std::filesystem;

namespace {

pid_t DeadPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

std::string MakeDir(const char* owner) {
  char templ[] = "/tmp/tlxsim-XXXXXX";
  if (::mkdtemp(templ) == nullptr) return std::string();
  if (owner != nullptr) std::ofstream(std::string(templ) + "/owner.pid") << owner << "\n";
  std::ofstream(std::string(templ) + "/usb.sock");
  return templ;
}

TEST(RunDirTest, OnlyDirectoriesOfDeadOwnersAreRemoved) {
  const std::string dead = MakeDir(std::to_string(DeadPid()).c_str());
  const std::string alive = MakeDir(std::to_string(::getpid()).c_str());
  const std::string unknown = MakeDir(nullptr);
  const std::string garbled = MakeDir("pid");
  ASSERT_FALSE(dead.empty());

  // (A terminal starting in a parallel test may be the one that removes it.)
  tlxsim::RemoveStaleRunDirs();
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
  EXPECT_TRUE(fs::exists(unknown));
  EXPECT_TRUE(fs::exists(garbled));
  for (const auto& d : {alive, unknown, garbled}) fs::remove_all(d);
}

TEST(RunDirTest, NewDirectoryIsPrivateAndNamesItsOwner) {
  const std::string dir = tlxsim::MakeRunDir();
  EXPECT_EQ(fs::perms::owner_all, fs::status(dir).permissions() & fs::perms::all);
  long pid = 0;
  std::ifstream(dir + "/owner.pid") >> pid;
  EXPECT_EQ(::getpid(), pid);
  tlxsim::RemoveStaleRunDirs();
  EXPECT_TRUE(fs::exists(dir));
  fs::remove_all(dir);
}

}  // namespace
