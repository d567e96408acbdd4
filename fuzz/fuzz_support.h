// Helpers shared by the fuzz targets: exact-size heap copies (so that a
// read or write one byte past a buffer is caught by AddressSanitizer) and
// the check that stops the run on a broken promise.
#ifndef TLX_FUZZ_SUPPORT_H
#define TLX_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace fuzz {

// A heap buffer of exactly n bytes (at least one, so that a pointer exists),
// filled from data or zeroed.
inline std::unique_ptr<char[]> Exact(size_t n, const void* data = nullptr, size_t len = 0) {
  std::unique_ptr<char[]> p(new char[n == 0 ? 1 : n]);
  std::memset(p.get(), 0, n == 0 ? 1 : n);
  if (data != nullptr) std::memcpy(p.get(), data, len < n ? len : n);
  return p;
}

// A NUL-terminated heap copy of len bytes.
inline std::unique_ptr<char[]> Text(const void* data, size_t len) {
  std::unique_ptr<char[]> p(new char[len + 1]);
  std::memcpy(p.get(), data, len);
  p[len] = '\0';
  return p;
}

[[noreturn]] inline void Broken(const char* what, long value) {
  std::fprintf(stderr, "broken promise: %s (%ld)\n", what, value);
  std::abort();
}

inline void Check(bool ok, const char* what, long value = 0) {
  if (!ok) Broken(what, value);
}

}  // namespace fuzz

#endif

#include <string>
#include <vector>

namespace fuzz {

// Replies framed in the input as a 2-byte big-endian length and that many
// bytes (a length past the end takes what is left).
inline std::vector<std::string> Replies(const unsigned char* data, size_t size) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at + 2 <= size) {
    size_t n = static_cast<size_t>(data[at]) << 8 | data[at + 1];
    at += 2;
    if (n > size - at) n = size - at;
    out.emplace_back(reinterpret_cast<const char*>(data + at), n);
    at += n;
  }
  return out;
}

// A private directory for the files a target writes, made once.
inline const std::string& ScratchDir() {
  static std::string dir;
  if (dir.empty()) {
    char tmpl[] = "/tmp/tlx-fuzz-XXXXXX";
    const char* made = mkdtemp(tmpl);
    dir = made != nullptr ? made : "/tmp";
  }
  return dir;
}

}  // namespace fuzz
