// Whole-file reads and writes, file sizes, directory listing.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/files.h"

namespace tlx {

// statx rather than stat or fstat: glibc has had statx since 2.28, while
// stat and fstat became versioned symbols of their own only in 2.33, so a
// library that calls them no longer loads on the older C libraries that
// many branch desktops still run.
long FileSizeOf(const char* path, int fd) {
  struct statx stx;
  const int rc = path != nullptr ? statx(AT_FDCWD, path, 0, STATX_SIZE, &stx)
                                 : statx(fd, "", AT_EMPTY_PATH, STATX_SIZE, &stx);
  if (rc != 0 || (stx.stx_mask & STATX_SIZE) == 0) return -1;
  return static_cast<long>(stx.stx_size);
}

bool StatusOf(int fd, struct statx* out) {
  if (out == nullptr) return false;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, out) != 0) return false;
  return (out->stx_mask & STATX_BASIC_STATS) == STATX_BASIC_STATS;
}

// Reads the whole file into buf when it is not empty and fits in cap bytes;
// otherwise reads nothing and gives 0.
long ReadFileData(char* buf, long cap, const char* path, const char* mode) {
  if (buf == nullptr || cap <= 0 || path == nullptr || mode == nullptr) return 0;
  FILE* f = std::fopen(path, mode);
  if (f == nullptr) return 0;

  long total = 0;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size > 0 && size <= cap && std::fseek(f, 0, SEEK_SET) == 0) {
    std::memset(buf, 0, static_cast<size_t>(cap));
    while (total < size) {
      const long want = std::min(std::min(size - total, 1024L), cap - total);
      const size_t got = std::fread(buf + total, 1, static_cast<size_t>(want), f);
      if (got == 0) break;
      total += static_cast<long>(got);
    }
  }
  std::fclose(f);
  return total;
}

long WriteFileData(const unsigned char* data, unsigned long len, const char* path,
                   const char* mode) {
  if (data == nullptr || len == 0 || path == nullptr || mode == nullptr) return 0;
  FILE* f = std::fopen(path, mode);
  if (f == nullptr) return 0;

  unsigned long total = 0;
  while (total < len) {
    const unsigned long chunk = len - total < 8192 ? len - total : 8192;
    const size_t put = std::fwrite(data + total, 1, chunk, f);
    total += put;
    if (put < chunk) break;
  }
  std::fclose(f);
  return static_cast<long>(total);
}

void GetFilesFromDir(const std::string& dir, std::vector<std::string>& names) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = readdir(d)) {
    if (e->d_type == DT_REG) names.push_back(e->d_name);
  }
  closedir(d);
}

}  // namespace tlx
