// Where the programs put the files they pull from the terminal (the
// customer's signature picture and trajectory), and a buffer for a PIN or
// key that is wiped when it goes.
#ifndef TLX_PRIVATE_FILES_H
#define TLX_PRIVATE_FILES_H

#include <QString>

#include <cstddef>
#include <cstring>

// The user's own folder for such files: "tlx" in $XDG_RUNTIME_DIR when the
// session has one that is private (the user's, no access for others;
// created mode 0700), else the working folder, which the launchers give
// each user and check. Never a shared folder such as /tmp.
QString PrivateOutputDir();
// name in PrivateOutputDir().
QString PrivateOutputPath(const QString& name);

// Overwrites n bytes in a way the compiler keeps.
void WipeSecret(void* p, std::size_t n);

// A fixed buffer for a PIN or key text, zero-filled, wiped on destruction.
template <std::size_t N>
class SecretBuffer {
 public:
  SecretBuffer() { std::memset(bytes_, 0, N); }
  ~SecretBuffer() { WipeSecret(bytes_, N); }
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;
  char* data() { return bytes_; }
  static constexpr int size() { return static_cast<int>(N); }

 private:
  char bytes_[N];
};

#endif
