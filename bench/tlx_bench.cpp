// tlx-bench: figures of libtlxdev against the in-process virtual terminal
// (zero customer think time). Each library figure is printed beside the
// floor of the same exchange on the same link, so the overhead shows as a
// ratio. Not a test: it asserts nothing and only prints.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>

#include "EngineState.h"
#include "VirtualTerminal.h"
#include "bench_data.h"
#include "bench_floor.h"
#include "bench_kernel.h"
#include "bench_paced.h"
#include "bench_stats.h"
#include "compat/transfer.h"
#include "tlxdev.h"

using namespace tlxbench;

namespace {

void ZeroThinkTime(tlxsim::VirtualTerminal& vt) {
  tlxsim::Customer c = vt.GetCustomer();
  for (tlxsim::Answer* a :
       {&c.info, &c.evaluator, &c.keypadAmount, &c.keypadPhone, &c.pin, &c.sign})
    a->delayMs = 0;
  vt.SetCustomer(c);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 200;
  bool paced = false, kernel = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--paced") {
      paced = true;
    } else if (arg == "--kernel") {
      kernel = true;
    } else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos &&
               arg.size() < 7 && std::atoi(arg.c_str()) > 0) {
      rounds = std::atoi(arg.c_str());
    } else {
      std::fprintf(
          stderr,
          "tlx-bench: unknown argument %s\nusage: tlx-bench [ROUNDS] [--paced | --kernel]\n",
          arg.c_str());
      return 2;
    }
  }
  if (paced) {
    char tmpl[] = "/tmp/tlx-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 1;
    const int rc = RunPaced(tmpl);
    std::string rm = std::string("rm -rf '") + tmpl + "'";
    if (std::system(rm.c_str()) != 0) std::fprintf(stderr, "tlx-bench: %s failed\n", rm.c_str());
    return rc;
  }
  tlxsim::VirtualTerminal vt;
  try {
    vt.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tlx-bench: cannot start the virtual terminal: %s\n", e.what());
    return 1;
  }
  ZeroThinkTime(vt);
  if (kernel) return RunKernel(vt, rounds);
  const int serial = vt.serialPort();
  char scratchTmpl[] = "/tmp/tlx-bench-XXXXXX";
  const std::string scratch = mkdtemp(scratchTmpl);

  std::printf(
      "tlx-bench: %d round trips each; serial port %d (pty), HID through the libusb "
      "stand-in\n",
      rounds, serial);
  std::printf(
      "Serial figures are dominated by the flush before every command: it waits for "
      "0.1 s of line silence.\n\n");
  struct Link {
    const char* name;
    int port;
  } links[] = {{"serial", serial}, {"HID", 0}};

  for (const Link& l : links) {
    char model[8] = {0};
    Spread lib = Measure(rounds, [&] { return TLX_CheckOnline(l.port, 0, 115200, model); });
    Spread floor = FloorRoundTrips(l.port, "\x1b[0CHECKR40", rounds);
    PrintRoundTrip(std::string("CheckOnline ") + l.name, lib, floor);
    char version[TLX_VERSION_SIZE] = {0};
    lib = Measure(rounds, [&] { return TLX_GetVer(l.port, 0, 115200, version); });
    floor = FloorRoundTrips(l.port, "\x1b[0GETDEVICEINFO", rounds);
    PrintRoundTrip(std::string("GetVer ") + l.name, lib, floor);
  }
  std::printf("\n");

  {
    const std::string data = Bytes(4u << 20);
    std::string path = scratch + "/hid4m.bin";
    WriteLocal(path, data);
    char name[] = "hid4m.bin";
    int rc = 0, frc = 0;
    double t = TimeOnce([&] { return DownLoadFile(0, 0, 9600, 255, &path[0], name); }, &rc);
    double f = FloorHidDownload(data, "hid4m-floor.bin", &frc);
    PrintThroughput("HID download 4 MiB", static_cast<double>(data.size()), t, rc, f, frc);
  }
  {
    const std::string data = Bytes(256u << 10);
    std::string path = scratch + "/ser256k.bin";
    WriteLocal(path, data);
    char name[] = "ser256k.bin";
    int rc = 0, frc = 0;
    double t = TimeOnce([&] { return DownLoadFile(serial, 0, 115200, 255, &path[0], name); }, &rc);
    double f = FloorSerialDownload(serial, data, "ser256k-floor.bin", &frc);
    PrintThroughput("serial download 256 KiB", static_cast<double>(data.size()), t, rc, f, frc);
  }
  {
    const std::string data = Bytes(1u << 20);
    {
      std::lock_guard<std::mutex> lock(vt.engine().Impl().mu);
      vt.engine().Impl().WriteTerminalFile("/tmp/bench.bin", data);
    }
    std::string cmd = "\x1b[0PULLFILE\x02/tmp/bench.bin\x03";
    std::string local = scratch + "/pulled.bin";
    int rc = 0, frc = 0;
    double t = TimeOnce(
        [&] {
          return PullFile(0, 0, 9600, 3000, static_cast<int>(cmd.size()), &cmd[0], &local[0]);
        },
        &rc);
    double f = FloorPull("/tmp/bench.bin", &frc);
    PrintThroughput("pull 1 MiB", static_cast<double>(data.size()), t, rc, f, frc);
  }

  vt.Stop();
  std::string rm = "rm -rf '" + scratch + "'";
  if (std::system(rm.c_str()) != 0) std::fprintf(stderr, "tlx-bench: %s failed\n", rm.c_str());
  return 0;
}
