#include "pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

PtyPeer::PtyPeer() {
  if (const char* old = getenv("TLX_SERIAL_PATH")) {
    hadEnv_ = true;
    oldEnv_ = old;
  }
  const char* devices = getenv("TLXSIM_SERIAL_DEVICES");
  const std::string farEnd =
      devices != nullptr ? std::string(devices).substr(0, std::string(devices).find(',')) : "";
  if (farEnd.empty())
    OpenPty();
  else
    OpenRealLine(farEnd);
  for (const char* link : {"tty0", "tty1"}) {
    if (symlink(slaveName_.c_str(), dir_.file(link).c_str()) != 0)
      throw std::runtime_error("symlink failed");
  }
  setenv("TLX_SERIAL_PATH", (dir_.path() + "/tty%d").c_str(), 1);
}

void PtyPeer::OpenPty() {
  char name[256] = {0};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slaveName_ = name;
}

void PtyPeer::OpenRealLine(const std::string& farEnd) {
  std::string pattern = hadEnv_ ? oldEnv_ : "/dev/ttyS%d";
  const size_t at = pattern.find("%d");
  if (at == std::string::npos) throw std::runtime_error("no %d in TLX_SERIAL_PATH");
  slaveName_ = pattern.replace(at, 2, "0");
  master_ = open(farEnd.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || slave_ < 0)
    throw std::runtime_error("cannot open " + farEnd + " and " + slaveName_);
  if (isatty(master_)) {
    termios t;
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  Receive(20);  // what an earlier user left on the line
}

PtyPeer::~PtyPeer() {
  if (hadEnv_)
    setenv("TLX_SERIAL_PATH", oldEnv_.c_str(), 1);
  else
    unsetenv("TLX_SERIAL_PATH");
  close(slave_);
  close(master_);
}

void PtyPeer::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw std::runtime_error("write to pty master failed");
    done += static_cast<size_t>(n);
  }
}

std::string PtyPeer::Receive(int quietMs, size_t maxBytes) {
  std::string got;
  char buf[4096];
  while (got.size() < maxBytes) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

std::string PtyPeer::ReceiveN(size_t n, int waitMs) {
  std::string got;
  char buf[4096];
  while (got.size() < n) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t r = read(master_, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.append(buf, static_cast<size_t>(r));
  }
  return got;
}
