#include "SerialLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "LinkThreadTiming.h"

namespace tlxsim {

namespace {

// Output the host never reads is dropped beyond this, so a host that went
// away cannot make the simulator hold an unbounded amount.
constexpr size_t kMaxPending = 1 << 20;

long RateOf(speed_t code) {
  static const struct {
    speed_t code;
    long rate;
  } kRates[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  for (const auto& r : kRates)
    if (r.code == code) return r.rate;
  return 9600;
}

std::string LinkName(const std::string& dir, int port) {
  return dir + "/ttyS" + std::to_string(port - 1);
}

// Points `link` at `target`, replacing an existing link in one step.
void PointLink(const std::string& link, const std::string& target) {
  std::string tmp = link + ".new";
  ::unlink(tmp.c_str());
  if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0)
    throw std::runtime_error("cannot create serial link " + link + ": " + std::strerror(errno));
}

}  // namespace

SerialLink::SerialLink(Engine& engine, std::string dir, std::vector<int> ports)
    : engine_(engine), dir_(std::move(dir)), ports_(std::move(ports)) {
  if (ports_.empty()) ports_.push_back(1);
}

SerialLink::~SerialLink() { Stop(); }

std::string SerialLink::PathPattern() const { return OnDevice() ? hostPattern_ : dir_ + "/ttyS%d"; }

void SerialLink::UseDevice(std::string device, std::string hostPath, std::string pattern) {
  device_ = std::move(device);
  hostPath_ = std::move(hostPath);
  hostPattern_ = std::move(pattern);
}

void SerialLink::OpenLine() {
  if (OnDevice())
    OpenDevice();
  else
    OpenPty();
}

void SerialLink::OpenDevice() {
  int fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw std::runtime_error("cannot open serial device " + device_ + ": " + std::strerror(errno));
  if (::isatty(fd)) {
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
  }
  // What is still on its way from before (a previous session, a machine's
  // firmware) is not for this terminal: drop it until the line is quiet.
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) break;
    if (::read(fd, buf, sizeof buf) <= 0) break;
  }
  master_ = fd;
  {
    std::lock_guard<std::mutex> g(pathLock_);
    slavePath_ = hostPath_;
  }
  WatchSlave();
}

std::string SerialLink::SlavePath() const {
  std::lock_guard<std::mutex> g(pathLock_);
  return slavePath_;
}

void SerialLink::OpenPty() {
  int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0)
    throw std::runtime_error(std::string("cannot create a pty: ") + std::strerror(errno));
  char name[128];
  if (::ptsname_r(m, name, sizeof name) != 0) {
    ::close(m);
    throw std::runtime_error("ptsname failed");
  }
  int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (s < 0) {
    ::close(m);
    throw std::runtime_error(std::string("cannot open pty slave: ") + std::strerror(errno));
  }
  // Raw from the start: the host restores the settings it found when it
  // closes, and those must be raw too (no echo, no line editing).
  termios t{};
  ::tcgetattr(s, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(s, TCSANOW, &t);
  ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
  master_ = m;
  slave_ = s;
  {
    std::lock_guard<std::mutex> g(pathLock_);
    slavePath_ = name;
  }
  for (int port : ports_) PointLink(LinkName(dir_, port), name);
  WatchSlave();
}

void SerialLink::WatchSlave() {
  if (inotify_ < 0) inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) return;  // close detection is a nicety; the line works without
  if (watch_ >= 0) ::inotify_rm_watch(inotify_, watch_);
  // Our own descriptor was opened before the watch (on a device we hold
  // none of the host's end), so every close seen here is a host's.
  watch_ = ::inotify_add_watch(inotify_, SlavePath().c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
}

void SerialLink::ReadWatch() {
  alignas(inotify_event) char buf[4096];
  bool closed = false;
  for (;;) {
    ssize_t n = ::read(inotify_, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t off = 0; off < n;) {
      auto* ev = reinterpret_cast<inotify_event*>(buf + off);
      if (ev->wd == watch_ && (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))) closed = true;
      off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
    }
  }
  // The engine decides what of its output belonged to the closed session;
  // bytes already handed to this link stay (they may be the next session's).
  if (closed) Closed();
}

long SerialLink::LineRate() const {
  // The host sets the rate on its descriptor of the slave; the tty behind
  // ours is the same one.
  termios t{};
  if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) return 9600;
  return RateOf(::cfgetospeed(&t));
}

void SerialLink::Closed() {
  if (paced_)
    in_.PushMark(Clock::now());  // after the bytes the host wrote before it closed
  else
    engine_.LinkClosed(Link::Serial);
}

void SerialLink::DeliverPaced(Clock::time_point now) {
  PacedLine::Due d;
  while (in_.TakeDue(now, &d)) {
    if (d.mark)
      engine_.LinkClosed(Link::Serial);
    else
      engine_.ReceiveAt(Link::Serial, d.bytes.data(), d.bytes.size(), d.at);
  }
}

void SerialLink::ClosePty() {
  if (watch_ >= 0) ::inotify_rm_watch(inotify_, watch_);
  watch_ = -1;
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  pending_.clear();
  in_.Clear();
  out_.Clear();
}

void SerialLink::Start() {
  if (thread_.joinable()) return;
  if (!OnDevice()) ::mkdir(dir_.c_str(), 0700);
  OpenLine();
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void SerialLink::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  wake_.Signal();
  thread_.join();
  ClosePty();
  if (inotify_ >= 0) ::close(inotify_);
  inotify_ = -1;
  if (!OnDevice())
    for (int port : ports_) ::unlink(LinkName(dir_, port).c_str());
}

void SerialLink::ReadMaster() {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      if (paced_)
        in_.Push(std::string(buf, static_cast<size_t>(n)), Clock::now(), ByteTime(LineRate()));
      else
        engine_.Receive(Link::Serial, buf, static_cast<size_t>(n));
      continue;
    }
    return;  // EAGAIN, or EIO which cannot last since we hold the slave
  }
}

void SerialLink::FlushOutput() {
  while (!pending_.empty()) {
    ssize_t n = ::write(master_, pending_.data(), pending_.size());
    if (n <= 0) return;  // pty full: wait for POLLOUT
    pending_.erase(0, static_cast<size_t>(n));
  }
}

void SerialLink::Run() {
  Clock::time_point next = Clock::time_point::max();
  while (!stop_) {
    pollfd fds[3] = {{master_, POLLIN, 0}, {wake_.fd(), POLLIN, 0}, {inotify_, POLLIN, 0}};
    if (!pending_.empty()) fds[0].events |= POLLOUT;
    Clock::time_point wake = next;
    if (paced_) wake = std::min({wake, in_.NextDue(Clock::now()), out_.NextDue(Clock::now())});
    const timespec timeout = paced_ ? PollTimeoutPrecise(wake) : PollTimeoutSpec(wake);
    int r = ::ppoll(fds, inotify_ >= 0 ? 3 : 2, &timeout, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (stop_) break;
    // A device whose other end went away (a virtual machine's channel
    // without its host side) reports a hangup until it is back.
    if (OnDevice() && (fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN))
      ::usleep(10000);
    if (fds[1].revents & POLLIN) wake_.Clear();
    // Closes first, then the bytes: the close event is queued when the host
    // closes, while its bytes reach the master through the tty layer a
    // little later. The two can still interleave with the next session's
    // first bytes; the engine sorts sessions by the channel reset the host
    // sends before every close.
    if (inotify_ >= 0) ReadWatch();
    if (fds[0].revents & POLLIN) ReadMaster();
    if (paced_) DeliverPaced(Clock::now());

    const Clock::time_point now = Clock::now();
    std::vector<Chunk> due = engine_.Poll(Link::Serial, now, &next);
    for (const Chunk& c : due) {
      if (c.hangup && OnDevice()) {
        engine_.LinkClosed(Link::Serial);
        pending_.clear();
        out_.Clear();
        continue;
      }
      if (c.hangup) {
        // Drop the line: the host's open descriptor sees the hangup, and the
        // next open of the same path finds a fresh line. The new line is
        // linked before the old one closes, so a host that reopens as soon
        // as it sees the hangup never finds the link dangling.
        engine_.LinkClosed(Link::Serial);
        const int oldMaster = master_, oldSlave = slave_, oldWatch = watch_;
        watch_ = -1;
        try {
          OpenPty();
        } catch (const std::exception&) {
          master_ = oldMaster;
          slave_ = oldSlave;
          watch_ = oldWatch;
          stop_ = true;
          return;
        }
        ++hangups_;
        pending_.clear();
        in_.Clear();
        out_.Clear();
        if (oldWatch >= 0) ::inotify_rm_watch(inotify_, oldWatch);
        ::close(oldSlave);
        ::close(oldMaster);
        continue;
      }
      if (pending_.size() + out_.Queued() + c.bytes.size() > kMaxPending) continue;
      if (paced_)
        out_.Push(c.bytes, now, ByteTime(LineRate()));
      else
        pending_ += c.bytes;
    }
    if (paced_) {
      PacedLine::Due d;
      while (out_.TakeDue(Clock::now(), &d)) pending_ += d.bytes;
    }
    FlushOutput();
  }
}

}  // namespace tlxsim
