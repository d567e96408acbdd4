// An eventfd that wakes a link thread out of poll(): the engine's notify
// hook and Stop() signal it.
#ifndef TLXSIM_WAKEUP_H
#define TLXSIM_WAKEUP_H

namespace tlxsim {

class Wakeup {
 public:
  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  int fd() const { return fd_; }
  void Signal();  // async-signal-safe
  void Clear();

 private:
  int fd_;
};

}  // namespace tlxsim

#endif
