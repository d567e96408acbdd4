// A scratch directory under /tmp, removed with its contents afterwards.
#ifndef TLX_TESTS_TEMP_DIR_H
#define TLX_TESTS_TEMP_DIR_H

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes bytes to a file, replacing it.
void WriteFile(const std::string& path, const std::string& bytes);
// Whole content of a file ("" when missing).
std::string ReadFile(const std::string& path);

#endif
