// Linux native AIO (io_setup/io_submit) on FunctionFS endpoint files, with
// completions signalled on an eventfd. A FunctionFS write completes only
// when the host has read the data, so the terminal's link thread never
// writes or reads an endpoint directly: it queues requests here and polls
// the eventfd. Requests still queued when the context ends are cancelled.
#ifndef TLXSIM_KERNELAIO_H
#define TLXSIM_KERNELAIO_H

#include <linux/aio_abi.h>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tlxsim {

class KernelAio {
 public:
  struct Done {
    uint64_t tag;
    bool read;
    long result;       // bytes moved, or -errno
    std::string data;  // what a read brought
  };

  // Throws std::runtime_error when the kernel has no AIO context to give.
  explicit KernelAio(unsigned maxRequests = 64);
  ~KernelAio();
  KernelAio(const KernelAio&) = delete;
  KernelAio& operator=(const KernelAio&) = delete;

  // The eventfd that becomes readable when requests complete.
  int fd() const { return eventFd_; }
  // Queues a read of n bytes / a write of data (may be empty: a zero-length
  // packet) on fd; the tag comes back in its Done. False (errno) when the
  // kernel refuses the request.
  bool Read(int fd, size_t n, uint64_t tag);
  bool Write(int fd, const std::string& data, uint64_t tag);
  // Completed requests, oldest first (clears the eventfd).
  std::vector<Done> Completed();
  // Cancels every request on fd still queued; each still comes back from
  // Completed(), with an error when it was cancelled in time.
  void Cancel(int fd);
  // Requests submitted and not yet completed.
  size_t InFlight() const { return requests_.size(); }
  size_t InFlight(int fd, bool read) const;

 private:
  struct Request {
    iocb cb{};
    std::string buffer;
    bool read = false;
    uint64_t tag = 0;
  };
  bool Submit(std::unique_ptr<Request> r);

  aio_context_t context_ = 0;
  int eventFd_ = -1;
  unsigned maxRequests_;
  std::map<Request*, std::unique_ptr<Request>> requests_;
};

}  // namespace tlxsim

#endif
