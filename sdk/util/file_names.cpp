// Picking texts and file names apart. These copy into caller buffers that
// carry no size (the callers size them for a path); GetTmpFile is bounded.
#include <cstdio>
#include <cstring>

#include "util/files.h"

namespace tlx {

char* SplitData(char* src, char* dst, const char* pattern) {
  if (src == nullptr || pattern == nullptr) return src;
  char* found = std::strstr(src, pattern);
  if (found == nullptr) {
    if (dst != nullptr) std::strcpy(dst, src);
    return src;
  }
  if (found != src && dst != nullptr) std::memcpy(dst, src, static_cast<size_t>(found - src));
  return found;
}

void GetTmpFile(const char* name, char* buf, int size) {
  if (name == nullptr || buf == nullptr || size <= 0) return;
  std::snprintf(buf, static_cast<size_t>(size), "/tmp/%s", name);
}

void GetFileName(const char* path, char* dst) {
  if (path == nullptr || dst == nullptr || path[0] == '\0') return;
  const char* slash = std::strrchr(path, '/');
  std::strcpy(dst, slash != nullptr ? slash + 1 : path);
}

void GetFileExtendName(const char* path, char* dst) {
  if (path == nullptr || dst == nullptr) return;
  const char* dot = std::strrchr(path, '.');
  std::strcpy(dst, dot != nullptr ? dot + 1 : "");
}

}  // namespace tlx
