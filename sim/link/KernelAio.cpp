#include "KernelAio.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace tlxsim {

namespace {

long IoSetup(unsigned n, aio_context_t* ctx) { return ::syscall(SYS_io_setup, n, ctx); }
long IoDestroy(aio_context_t ctx) { return ::syscall(SYS_io_destroy, ctx); }
long IoSubmit(aio_context_t ctx, long n, iocb** cbs) {
  return ::syscall(SYS_io_submit, ctx, n, cbs);
}
long IoCancel(aio_context_t ctx, iocb* cb, io_event* ev) {
  return ::syscall(SYS_io_cancel, ctx, cb, ev);
}
long IoGetEvents(aio_context_t ctx, long min, long max, io_event* ev, timespec* ts) {
  return ::syscall(SYS_io_getevents, ctx, min, max, ev, ts);
}

}  // namespace

KernelAio::KernelAio(unsigned maxRequests) : maxRequests_(maxRequests) {
  eventFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (eventFd_ < 0) throw std::runtime_error("eventfd failed");
  if (IoSetup(maxRequests, &context_) != 0) {
    std::string err = std::strerror(errno);
    ::close(eventFd_);
    throw std::runtime_error("io_setup failed: " + err);
  }
}

KernelAio::~KernelAio() {
  // Cancels what is queued and waits for it: no request outlives its buffer.
  IoDestroy(context_);
  ::close(eventFd_);
}

bool KernelAio::Submit(std::unique_ptr<Request> r) {
  if (requests_.size() >= maxRequests_) {
    errno = EAGAIN;
    return false;
  }
  r->cb.aio_data = reinterpret_cast<uint64_t>(r.get());
  r->cb.aio_buf = reinterpret_cast<uint64_t>(r->buffer.data());
  r->cb.aio_nbytes = r->buffer.size();
  r->cb.aio_flags = IOCB_FLAG_RESFD;
  r->cb.aio_resfd = static_cast<uint32_t>(eventFd_);
  iocb* list[1] = {&r->cb};
  long n;
  do {
    n = IoSubmit(context_, 1, list);
  } while (n < 0 && errno == EINTR);
  if (n != 1) return false;
  Request* key = r.get();
  requests_[key] = std::move(r);
  return true;
}

bool KernelAio::Read(int fd, size_t n, uint64_t tag) {
  auto r = std::make_unique<Request>();
  r->buffer.assign(n, '\0');
  r->read = true;
  r->tag = tag;
  r->cb.aio_fildes = static_cast<uint32_t>(fd);
  r->cb.aio_lio_opcode = IOCB_CMD_PREAD;
  return Submit(std::move(r));
}

bool KernelAio::Write(int fd, const std::string& data, uint64_t tag) {
  auto r = std::make_unique<Request>();
  r->buffer = data;
  r->tag = tag;
  r->cb.aio_fildes = static_cast<uint32_t>(fd);
  r->cb.aio_lio_opcode = IOCB_CMD_PWRITE;
  return Submit(std::move(r));
}

std::vector<KernelAio::Done> KernelAio::Completed() {
  uint64_t count = 0;
  while (::read(eventFd_, &count, sizeof count) > 0) {
  }
  std::vector<Done> done;
  io_event events[16];
  for (;;) {
    timespec none{0, 0};
    long n = IoGetEvents(context_, 0, 16, events, &none);
    if (n <= 0) break;
    for (long i = 0; i < n; ++i) {
      auto it = requests_.find(reinterpret_cast<Request*>(events[i].data));
      if (it == requests_.end()) continue;
      Request& r = *it->second;
      Done d{r.tag, r.read, static_cast<long>(events[i].res), {}};
      if (r.read && d.result > 0)
        d.data.assign(r.buffer.data(),
                      std::min<size_t>(static_cast<size_t>(d.result), r.buffer.size()));
      done.push_back(std::move(d));
      requests_.erase(it);
    }
  }
  return done;
}

void KernelAio::Cancel(int fd) {
  // The kernel reports a cancelled request as completed (with an error),
  // so its buffer is kept until Completed() has taken it.
  for (auto& r : requests_) {
    if (r.second->cb.aio_fildes != static_cast<uint32_t>(fd)) continue;
    io_event ev{};
    IoCancel(context_, &r.second->cb, &ev);
  }
}

size_t KernelAio::InFlight(int fd, bool read) const {
  size_t n = 0;
  for (const auto& r : requests_)
    if (r.second->cb.aio_fildes == static_cast<uint32_t>(fd) && r.second->read == read) ++n;
  return n;
}

}  // namespace tlxsim
