#include "HidServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "LinkThreadTiming.h"
#include "UsbSimProtocol.h"

namespace tlxsim {

using namespace usbproto;

namespace {
constexpr size_t kStandInPacket = 512;  // the stand-in's bus: high speed
}  // namespace

HidServer::HidServer(Engine& engine, std::string socketPath, uint16_t vendorId, uint16_t productId)
    : engine_(engine), path_(std::move(socketPath)), vendorId_(vendorId), productId_(productId) {}

HidServer::~HidServer() { Stop(); }

void HidServer::Start() {
  if (thread_.joinable()) return;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path_.size() >= sizeof addr.sun_path)
    throw std::runtime_error("socket path too long: " + path_);
  std::strcpy(addr.sun_path, path_.c_str());
  ::unlink(path_.c_str());
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_, 16) != 0) {
    std::string err = std::strerror(errno);
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    throw std::runtime_error("cannot listen on " + path_ + ": " + err);
  }
  stop_ = false;
  busEpoch_ = Clock::now();
  lastFrame_ = -1;
  thread_ = std::thread([this] { Run(); });
}

void HidServer::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  wake_.Signal();
  thread_.join();
  for (auto& c : clients_) ::close(c.first);
  clients_.clear();
  claimedBy_ = -1;
  ::close(listen_);
  listen_ = -1;
  ::unlink(path_.c_str());
}

void HidServer::Accept() {
  int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  // A host that stops reading (or stops in the middle of a frame) must not stall the terminal for
  // long.
  timeval tv{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  clients_[fd] = Client{};
}

Clock::time_point HidServer::OnTheBus(size_t n) {
  // Frames of 1 ms on a fixed grid. A transfer is served from the frame it
  // is given in, ends at the end of a frame, never in the same frame as the
  // transfer before it, and takes as many frames as its 64-byte packets
  // need at 19 a frame: a 1024-byte report (16 packets) has a frame of its
  // own, so back-to-back reports go one a millisecond.
  constexpr size_t kPacket = 64, kPacketsPerFrame = 19;
  const auto frame = std::chrono::milliseconds(1);
  const size_t packets = std::max<size_t>(1, (n + kPacket - 1) / kPacket);
  const long long frames =
      static_cast<long long>((packets + kPacketsPerFrame - 1) / kPacketsPerFrame);
  const long long now = (Clock::now() - busEpoch_) / frame;
  const long long first = std::max(now, lastFrame_ + 1);
  lastFrame_ = first + frames - 1;
  return busEpoch_ + frame * (lastFrame_ + 1);
}

void HidServer::CompleteTransfers(Clock::time_point now) {
  while (!transfers_.empty() && transfers_.front().end <= now) {
    Transfer t = std::move(transfers_.front());
    transfers_.pop_front();
    if (t.vanish) {
      Vanish();
      continue;
    }
    if (t.fd != claimedBy_ || clients_.count(t.fd) == 0) continue;
    if (t.out) {
      engine_.ReceiveAt(Link::Hid, t.report.data(), t.report.size(), t.end);
      if (!SendFrame(t.fd, kOutDone, nullptr, 0)) Drop(t.fd);
    } else if (!SendFrame(t.fd, kReport, t.report.data(), t.report.size())) {
      Drop(t.fd);
    }
  }
}

Clock::time_point HidServer::NextTransfer() const {
  return transfers_.empty() ? Clock::time_point::max() : transfers_.front().end;
}

void HidServer::Drop(int fd) {
  ::close(fd);
  clients_.erase(fd);
  // Its transfers under way never complete.
  transfers_.erase(std::remove_if(transfers_.begin(), transfers_.end(),
                                  [fd](const Transfer& t) { return !t.vanish && t.fd == fd; }),
                   transfers_.end());
  if (fd == chatterTold_) chatterTold_ = -1;
  if (fd == claimedBy_) {
    claimedBy_ = -1;
    engine_.LinkClosed(Link::Hid);
  }
}

void HidServer::TellChatter() {
  if (paced_ || claimedBy_ < 0) return;
  const std::string noise = engine_.ChatterBytes(Link::Hid);
  const bool on = !noise.empty();
  if (on == (chatterTold_ == claimedBy_)) return;
  const size_t n = on ? std::min(noise.size(), kStandInPacket) : 0;
  if (!SendFrame(claimedBy_, kChatter, noise.data(), n)) {
    Drop(claimedBy_);
    return;
  }
  chatterTold_ = on ? claimedBy_ : -1;
}

bool HidServer::HandleFrame(int fd) {
  unsigned char buf[kMaxPayload];
  uint8_t type = 0;
  size_t n = 0;
  if (!RecvFrame(fd, &type, buf, &n)) return false;
  Client& c = clients_[fd];
  switch (type) {
    case kList: {
      unsigned char dev[5] = {1, static_cast<unsigned char>(vendorId_ & 0xff),
                              static_cast<unsigned char>(vendorId_ >> 8),
                              static_cast<unsigned char>(productId_ & 0xff),
                              static_cast<unsigned char>(productId_ >> 8)};
      if (listsMissing_ > 0) {
        --listsMissing_;
        dev[0] = 0;
      }
      return SendFrame(fd, kDevice, dev, sizeof dev);
    }
    case kOpen: {
      if (listsMissing_ > 0) return SendFrame(fd, kNoDevice, nullptr, 0);
      c.opened = true;
      const uint8_t flags = paced_ ? kOpenPaced : 0;
      return SendFrame(fd, kOk, &flags, 1);
    }
    case kClaim:
      if (!c.opened) return SendFrame(fd, kNoDevice, nullptr, 0);
      if (claimedBy_ >= 0 && claimedBy_ != fd) return SendFrame(fd, kBusy, nullptr, 0);
      claimedBy_ = fd;
      chatterTold_ = -1;
      // A chattering device sends from the first moment: its noise is
      // there before the host's first IN transfer.
      TellChatter();
      return claimedBy_ == fd && SendFrame(fd, kOk, nullptr, 0);
    case kOut:
      if (paced_) {
        // The host's transfer ends when its frames have gone by.
        transfers_.push_back(
            Transfer{OnTheBus(n), fd, true, std::string(reinterpret_cast<char*>(buf), n)});
        return true;
      }
      if (fd == claimedBy_) engine_.Receive(Link::Hid, reinterpret_cast<char*>(buf), n);
      return true;
    default:
      return false;  // not our protocol
  }
}

void HidServer::Vanish() {
  ++vanishes_;
  listsMissing_ = 1;
  std::vector<int> open;
  for (auto& c : clients_)
    if (c.second.opened) open.push_back(c.first);
  for (int fd : open) {
    SendFrame(fd, kGone, nullptr, 0);
    Drop(fd);
  }
  engine_.LinkClosed(Link::Hid);
}

void HidServer::Deliver(const Chunk& c) {
  if (c.hangup) {
    if (paced_)
      transfers_.push_back(
          Transfer{transfers_.empty() ? Clock::now() : transfers_.back().end, -1, false, {}, true});
    else
      Vanish();
    return;
  }
  if (claimedBy_ < 0) return;  // nobody listens: the report goes nowhere
  for (const std::string& piece : ShapeAnswer(c.bytes, shape_, kStandInPacket)) {
    if (paced_) {
      transfers_.push_back(Transfer{OnTheBus(piece.size()), claimedBy_, false, piece});
      continue;
    }
    if (!SendFrame(claimedBy_, kReport, piece.data(), piece.size())) {
      Drop(claimedBy_);
      return;
    }
  }
}

void HidServer::Run() {
  Clock::time_point next = Clock::time_point::max();
  std::vector<pollfd> fds;
  while (!stop_) {
    fds.clear();
    fds.push_back({wake_.fd(), POLLIN, 0});
    fds.push_back({listen_, POLLIN, 0});
    for (auto& c : clients_) fds.push_back({c.first, POLLIN, 0});
    const timespec timeout =
        paced_ ? PollTimeoutPrecise(std::min(next, NextTransfer())) : PollTimeoutSpec(next);
    int r = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (stop_) break;
    if (fds[0].revents & POLLIN) wake_.Clear();
    if (fds[1].revents & POLLIN) Accept();
    // Each connection is read up to what is there, its end included, so a
    // handle the host closed has given up the interface before the host's
    // next handle (which it opens only after the close) can ask for it.
    for (size_t i = 2; i < fds.size(); ++i) {
      const int fd = fds[i].fd;
      if (fds[i].revents == 0) continue;
      while (clients_.count(fd) != 0) {  // may have been dropped meanwhile
        if (!HandleFrame(fd)) {
          Drop(fd);
          break;
        }
        if (WaitReadable(fd, 0) != 1) break;
      }
    }
    if (paced_) CompleteTransfers(Clock::now());
    for (const Chunk& c : engine_.Poll(Link::Hid, Clock::now(), &next)) Deliver(c);
    if (paced_) CompleteTransfers(Clock::now());
    TellChatter();
  }
}

}  // namespace tlxsim
