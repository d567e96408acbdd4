#include "GadgetLink.h"

#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "FfsDescriptors.h"
#include "GadgetConfig.h"
#include "KernelAio.h"
#include "LinkThreadTiming.h"

namespace tlxsim {

namespace {

constexpr uint64_t kTagRead = 1;
constexpr uint64_t kTagWrite = 2;
constexpr size_t kReadsPosted = 2;         // OUT transfers the host can finish at once
constexpr size_t kWritesPosted = 8;        // IN transfers queued in the kernel
constexpr size_t kPendingLimit = 1 << 20;  // answers the host does not read are dropped beyond

void WriteAll(int fd, const std::string& data, const char* what) {
  if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
    throw std::runtime_error(std::string("cannot write the ") + what +
                             " to ep0: " + std::strerror(errno));
}

std::string ReadFileLine(const std::string& path) {
  char buf[64] = {};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

GadgetLink::GadgetLink(Engine& engine, std::string mountDir, uint16_t vendorId, uint16_t productId,
                       GadgetOptions options)
    : engine_(engine),
      mountDir_(std::move(mountDir)),
      vendorId_(vendorId),
      productId_(productId),
      options_(std::move(options)) {}

GadgetLink::~GadgetLink() { Stop(); }

void GadgetLink::OpenEndpoints() {
  ep0_ = ::open((mountDir_ + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0)
    throw std::runtime_error("cannot open " + mountDir_ + "/ep0: " + std::strerror(errno));
  WriteAll(ep0_, FfsDescriptors(), "descriptors");
  WriteAll(ep0_, FfsStrings(), "strings");
  // The endpoint files exist once the descriptors are in; ep1 is the first
  // endpoint described (IN), ep2 the second (OUT).
  epIn_ = ::open((mountDir_ + "/ep1").c_str(), O_RDWR | O_CLOEXEC);
  epOut_ = ::open((mountDir_ + "/ep2").c_str(), O_RDWR | O_CLOEXEC);
  if (epIn_ < 0 || epOut_ < 0)
    throw std::runtime_error("cannot open the endpoints in " + mountDir_ + ": " +
                             std::strerror(errno));
  ::fcntl(ep0_, F_SETFL, ::fcntl(ep0_, F_GETFL) | O_NONBLOCK);
}

void GadgetLink::Start() {
  if (thread_.joinable()) return;
  GadgetConfig::RemoveStale();
  try {
    aio_ = std::make_unique<KernelAio>();
    config_ = std::make_unique<GadgetConfig>(vendorId_, productId_);
    config_->Create(mountDir_);
    OpenEndpoints();
    std::string error;
    if (!config_->Bind(options_.udc, &error)) throw std::runtime_error(error);
    udc_ = config_->Udc();
  } catch (...) {
    stop_ = true;
    Stop();
    throw;
  }
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void GadgetLink::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    wake_.Signal();
    thread_.join();
  }
  if (config_) config_->Unbind();
  configured_ = false;
  aio_.reset();  // cancels and waits for what is still queued
  for (int* fd : {&epIn_, &epOut_, &ep0_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  if (config_) config_->Remove();
  config_.reset();
  pending_.clear();
  pendingBytes_ = 0;
}

void GadgetLink::Unplug() {
  {
    std::lock_guard<std::mutex> g(lock_);
    plugRequests_.push_back(false);
  }
  wake_.Signal();
}

void GadgetLink::Replug() {
  {
    std::lock_guard<std::mutex> g(lock_);
    plugRequests_.push_back(true);
  }
  wake_.Signal();
}

bool GadgetLink::WaitConfigured(int ms) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!configured_) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool GadgetLink::WaitHostSees(int ms) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  auto sleep = [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); };
  const bool udevd = ::access("/run/udev/control", F_OK) == 0;
  for (;;) {
    if (configured_) {
      const std::string dev = config_->HostDevice();
      if (!dev.empty() && !udevd) return true;
      if (!dev.empty()) {
        // udev's database entry of the device node (USB major 189) is
        // written when udev has processed the device, just before its
        // event goes out to libusb.
        auto number = [&dev](const char* name) {
          return std::atoi(ReadFileLine(dev + "/" + name).c_str());
        };
        const int minor = (number("busnum") - 1) * 128 + number("devnum") - 1;
        if (::access(("/run/udev/data/c189:" + std::to_string(minor)).c_str(), F_OK) == 0) {
          return true;
        }
      }
    }
    if (Clock::now() >= deadline) return false;
    sleep();
  }
}

std::string GadgetLink::HostDevice() const {
  return configured_ ? config_->HostDevice() : std::string();
}

std::string GadgetLink::Udc() const {
  std::lock_guard<std::mutex> g(lock_);
  return udc_;
}

void GadgetLink::Enabled() {
  configured_ = true;
  maxPacket_ = config_->CurrentSpeed() == "full-speed" ? 64 : 512;
  PostReads();
  SendPending();
}

void GadgetLink::Disabled() {
  if (!configured_) return;
  configured_ = false;
  // What is queued fails or is cancelled; an answer in flight is lost, as
  // on a cable pulled out.
  aio_->Cancel(epIn_);
  aio_->Cancel(epOut_);
  pending_.clear();
  pendingBytes_ = 0;
  engine_.LinkClosed(Link::Hid);
}

void GadgetLink::HandleSetup(const usb_ctrlrequest& setup) {
  const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
  const unsigned length = setup.wLength;
  // GET_DESCRIPTOR (standard, to the interface) of the HID report descriptor.
  if (setup.bRequestType == (USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_INTERFACE) &&
      setup.bRequest == USB_REQ_GET_DESCRIPTOR && (setup.wValue >> 8) == 0x22) {
    const std::string report = HidReportDescriptor();
    const size_t n = std::min<size_t>(report.size(), length);
    ssize_t w = ::write(ep0_, report.data(), n);
    (void)w;
    return;
  }
  // HID class requests without data (SET_IDLE, SET_PROTOCOL) are taken;
  // a host's SET_REPORT data is read and dropped; anything else asking for
  // data is stalled (I/O in the wrong direction stalls on FunctionFS).
  char buf[256];
  if (in) {
    ssize_t r = ::read(ep0_, buf, 0);
    (void)r;
  } else {
    ssize_t r = ::read(ep0_, buf, std::min<size_t>(length, sizeof buf));
    (void)r;
  }
}

void GadgetLink::HandleEp0() {
  usb_functionfs_event events[8];
  for (;;) {
    ssize_t n = ::read(ep0_, events, sizeof events);
    if (n <= 0) return;
    for (size_t i = 0; i < static_cast<size_t>(n) / sizeof events[0]; ++i) {
      switch (events[i].type) {
        case FUNCTIONFS_ENABLE:
          Enabled();
          break;
        case FUNCTIONFS_DISABLE:
        case FUNCTIONFS_UNBIND:
          Disabled();
          break;
        case FUNCTIONFS_SETUP:
          HandleSetup(events[i].u.setup);
          break;
        default:
          break;  // BIND, SUSPEND, RESUME
      }
    }
  }
}

void GadgetLink::PostReads() {
  while (configured_ && aio_->InFlight(epOut_, true) < kReadsPosted) {
    if (!aio_->Read(epOut_, kUsbReportSize, kTagRead)) break;
  }
}

void GadgetLink::SendPending() {
  while (configured_ && !pending_.empty() && aio_->InFlight(epIn_, false) < kWritesPosted) {
    if (!aio_->Write(epIn_, pending_.front(), kTagWrite)) break;
    pendingBytes_ -= pending_.front().size();
    pending_.pop_front();
  }
}

void GadgetLink::Completions() {
  for (const KernelAio::Done& d : aio_->Completed()) {
    if (d.read && d.result > 0) engine_.Receive(Link::Hid, d.data.data(), d.data.size());
  }
  PostReads();
  SendPending();
}

void GadgetLink::Deliver(const Chunk& c) {
  if (c.hangup) {
    DoUnplug(options_.replugMs >= 0);
    return;
  }
  if (!configured_) return;  // no host: the answer goes nowhere
  for (std::string& piece : ShapeAnswer(c.bytes, options_.shape, maxPacket_)) {
    if (pendingBytes_ + piece.size() > kPendingLimit) return;
    pendingBytes_ += piece.size();
    pending_.push_back(std::move(piece));
  }
  SendPending();
}

void GadgetLink::DoUnplug(bool replug) {
  if (config_->Bound()) ++vanishes_;
  // Not configured from before the host can notice: whoever waits for the
  // device to come back must not take the one going away for it.
  Disabled();
  lastUnplug_ = Clock::now().time_since_epoch().count();
  config_->Unbind();
  replugAt_ = replug ? Clock::now() + std::chrono::milliseconds(options_.replugMs)
                     : Clock::time_point::max();
}

void GadgetLink::DoReplug() {
  replugAt_ = Clock::time_point::max();
  std::string error;
  if (config_->Bind(options_.udc, &error)) {
    std::lock_guard<std::mutex> g(lock_);
    udc_ = config_->Udc();
  }
}

void GadgetLink::Run() {
  Clock::time_point next = Clock::time_point::max();
  while (!stop_) {
    pollfd fds[3] = {{wake_.fd(), POLLIN, 0}, {ep0_, POLLIN, 0}, {aio_->fd(), POLLIN, 0}};
    const timespec timeout = PollTimeoutSpec(std::min(next, replugAt_));
    int r = ::ppoll(fds, 3, &timeout, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (stop_) break;
    if (fds[0].revents & POLLIN) wake_.Clear();
    std::deque<bool> requests;
    {
      std::lock_guard<std::mutex> g(lock_);
      requests.swap(plugRequests_);
    }
    for (bool plugIn : requests) {
      if (plugIn)
        DoReplug();
      else
        DoUnplug(false);
    }
    if (fds[1].revents & POLLIN) HandleEp0();
    if (fds[2].revents & POLLIN) Completions();
    if (Clock::now() >= replugAt_) DoReplug();
    for (const Chunk& c : engine_.Poll(Link::Hid, Clock::now(), &next)) Deliver(c);
  }
}

}  // namespace tlxsim
