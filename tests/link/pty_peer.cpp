#include "pty_peer.h"

#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

PtyPeer::PtyPeer() {
  char name[256] = {0};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slaveName_ = name;
  for (const char* link : {"tty0", "tty1"}) {
    if (symlink(name, dir_.file(link).c_str()) != 0) throw std::runtime_error("symlink failed");
  }
  if (const char* old = getenv("TLX_SERIAL_PATH")) {
    hadEnv_ = true;
    oldEnv_ = old;
  }
  setenv("TLX_SERIAL_PATH", (dir_.path() + "/tty%d").c_str(), 1);
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
