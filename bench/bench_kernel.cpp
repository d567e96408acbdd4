#include "bench_kernel.h"

#include <fcntl.h>
#include <libusb.h>
#include <poll.h>
#include <sys/utsname.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "VirtualTerminal.h"
#include "tlxdev.h"

namespace tlxbench {

namespace {

const std::string kCheck = "\x1b[0CHECKR40";
const std::string kVersion = "\x1b[0GETDEVICEINFO";

// Reads until ETX arrives or 3 s pass; 0 when the answer is complete.
int ReadAnswer(int fd) {
  std::string got;
  char buf[4096];
  while (got.find('\x03') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 3000) <= 0) return -1;
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return -1;
    got.append(buf, static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace

Spread BareTtyRoundTrips(const std::string& device, const std::string& cmd, int n) {
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Spread{0, 0, n};
  termios saved{}, t{};
  ::tcgetattr(fd, &saved);
  t = saved;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  ::cfsetspeed(&t, B115200);
  ::tcsetattr(fd, TCSAFLUSH, &t);
  Spread s = Measure(n, [&] {
    if (::write(fd, cmd.data(), cmd.size()) != static_cast<ssize_t>(cmd.size())) return -1;
    return ReadAnswer(fd);
  });
  ::tcsetattr(fd, TCSANOW, &saved);
  ::close(fd);
  return s;
}

Spread BareUsbRoundTrips(uint16_t vendorId, uint16_t productId, const std::string& cmd, int n) {
  libusb_context* ctx = nullptr;
  if (libusb_init(&ctx) != 0) return Spread{0, 0, n};
  libusb_device_handle* h = libusb_open_device_with_vid_pid(ctx, vendorId, productId);
  if (h != nullptr && libusb_kernel_driver_active(h, 0) == 1) libusb_detach_kernel_driver(h, 0);
  if (h == nullptr || libusb_claim_interface(h, 0) != 0) {
    if (h != nullptr) libusb_close(h);
    libusb_exit(ctx);
    return Spread{0, 0, n};
  }
  std::string report = cmd;
  report.resize(1024, '\0');
  Spread s = Measure(n, [&] {
    int done = 0;
    if (libusb_bulk_transfer(h, 0x02, reinterpret_cast<unsigned char*>(&report[0]), 1024, &done,
                             3000) != 0)
      return -1;
    unsigned char in[1024];
    for (;;) {
      if (libusb_bulk_transfer(h, 0x81, in, sizeof in, &done, 3000) != 0) return -1;
      for (int i = 0; i < done; ++i)
        if (in[i] == 0x03) return 0;
    }
  });
  libusb_release_interface(h, 0);
  libusb_close(h);
  libusb_exit(ctx);
  return s;
}

int RunKernel(tlxsim::VirtualTerminal& vt, int rounds) {
  if (!vt.SerialOnDevice() || !vt.UsesGadget()) {
    std::fprintf(stderr,
                 "tlx-bench: --kernel needs a real serial line and the USB gadget "
                 "(run it through ./tlx bench --kernel)\n");
    return 1;
  }
  std::string tty = vt.serialPathPattern();
  tty.replace(tty.find("%d"), 2, std::to_string(vt.serialPort() - 1));
  utsname u{};
  ::uname(&u);
  std::printf(
      "tlx-bench: through the kernel %s (%s), %d round trips each; serial %s, HID on "
      "the terminal's USB gadget on %s through the real libusb.\n",
      u.release, u.machine, rounds, tty.c_str(), vt.Udc().c_str());
  std::printf(
      "floor: the bare round trip of the same command in the same guest (tty opened "
      "once; OUT report and IN transfer on the device claimed once).\n");
  std::printf(
      "Serial commands are dominated by the flush before each: it waits for 0.1 s of "
      "line silence.\n\n");
  struct Link {
    const char* name;
    int port;
  } links[] = {{"serial", vt.serialPort()}, {"HID", 0}};
  for (const Link& l : links) {
    const bool serial = l.port != 0;
    auto bare = [&](const std::string& cmd) {
      return serial ? BareTtyRoundTrips(tty, cmd, rounds)
                    : BareUsbRoundTrips(0x2FB0, 0x0101, cmd, rounds);
    };
    char model[TLX_MODEL_SIZE] = {0};
    Spread lib = Measure(rounds, [&] { return TLX_CheckOnline(l.port, 0, 115200, model); });
    PrintRoundTrip(std::string("CheckOnline ") + l.name, lib, bare(kCheck));
    char version[TLX_VERSION_SIZE] = {0};
    lib = Measure(rounds, [&] { return TLX_GetVer(l.port, 0, 115200, version); });
    PrintRoundTrip(std::string("GetVer ") + l.name, lib, bare(kVersion));
  }
  vt.Stop();
  return 0;
}

}  // namespace tlxbench
