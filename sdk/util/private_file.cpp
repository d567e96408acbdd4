// Files the library writes for its caller that may hold what others must
// not read: the trace files and the files pulled from the terminal.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "util/files.h"

namespace tlx {

int OpenPrivateAppend(const char* path) {
  if (path == nullptr || path[0] == '\0') return -1;
  // O_NONBLOCK keeps a FIFO planted at the path from holding the open; it
  // is refused below like anything else that is not a regular file.
  const int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(path, flags | O_CREAT | O_EXCL, 0600);
  if (fd >= 0) {
    // Ours from the start: the umask may have taken bits, never added them.
    if (::fchmod(fd, 0600) == 0) return fd;
    ::close(fd);
    return -1;
  }
  if (errno != EEXIST) return -1;
  fd = ::open(path, flags);
  if (fd < 0) return -1;
  struct statx st;
  if (!StatusOf(fd, &st) || !S_ISREG(st.stx_mode) || st.stx_uid != ::geteuid() ||
      (st.stx_mode & 077) != 0 || st.stx_nlink != 1) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int CreatePrivateBeside(const char* target, char* tmpPath, int tmpCap) {
  if (target == nullptr || target[0] == '\0' || tmpPath == nullptr || tmpCap <= 0) return -1;
  // A hidden name in the target's own folder, so that the rename that puts
  // the finished file in place never crosses file systems.
  const char* slash = std::strrchr(target, '/');
  const size_t dirLen = slash != nullptr ? static_cast<size_t>(slash - target + 1) : 0;
  std::string name(target, dirLen);
  name += '.';
  name += slash != nullptr ? slash + 1 : target;
  name += ".XXXXXX";
  if (name.size() >= static_cast<size_t>(tmpCap)) return -1;
  std::memcpy(tmpPath, name.c_str(), name.size() + 1);
  // mkostemp creates with O_CREAT | O_EXCL and mode 0600: never an existing
  // file, never through a symlink.
  const int fd = ::mkostemp(tmpPath, O_CLOEXEC);
  if (fd < 0) tmpPath[0] = '\0';
  return fd;
}

}  // namespace tlx
