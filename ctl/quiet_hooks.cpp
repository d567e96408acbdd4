#include "quiet_hooks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tlxctl {

namespace {

int g_savedStdout = -1;

void ToDevNull() {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
}

void SilenceBeforeLibraries(int, char**, char**) {
  g_savedStdout = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (g_savedStdout >= 0) ToDevNull();
}

void SilenceAtExit() {
  std::fflush(stdout);
  ToDevNull();
}

__attribute__((section(".preinit_array"), used)) void (*const kSilenceBeforeLibraries)(
    int, char**, char**) = SilenceBeforeLibraries;

}  // namespace

void TakeBackStdout() {
  if (g_savedStdout < 0) return;
  std::fflush(stdout);
  ::dup2(g_savedStdout, STDOUT_FILENO);
  ::close(g_savedStdout);
  g_savedStdout = -1;
  std::atexit(SilenceAtExit);
}

}  // namespace tlxctl
