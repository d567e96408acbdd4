#include "Wakeup.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <cstdint>
#include <stdexcept>

namespace tlxsim {

Wakeup::Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

Wakeup::~Wakeup() { ::close(fd_); }

void Wakeup::Signal() {
  uint64_t one = 1;
  ssize_t r = ::write(fd_, &one, sizeof one);
  (void)r;  // a full counter still wakes the reader
}

void Wakeup::Clear() {
  uint64_t v;
  while (::read(fd_, &v, sizeof v) > 0) {
  }
}

}  // namespace tlxsim
