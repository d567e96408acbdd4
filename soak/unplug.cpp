// Unplug at every step of a transfer: the USB device vanishes at each
// packet of a HID download (the switch command included) and at each packet
// of a pull; the serial line hangs up at each block of a serial download.
// Each time the command must give an error within 1 s, leave no partial
// file (pulled locally, or stored on the terminal), and the command after
// it must work.
#include <sys/stat.h>
#include <unistd.h>

#include "EngineState.h"
#include "compat/transfer.h"
#include "soak.h"
#include "tlxdev.h"

namespace tlxsoak {
namespace {

using tlxsim::Fault;
using tlxsim::FaultKind;

const double kLimitMs = 1000;

Fault At(FaultKind kind, int at) {
  Fault f;
  f.kind = kind;
  f.times = 1;
  f.at = at;
  return f;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

int Unplug(const Options& o) {
  (void)o;
  std::printf(
      "unplug: at every packet of a HID download and of a pull, a hang-up at every "
      "block of a serial download\n");
  std::fflush(stdout);
  tlxsim::VirtualTerminal vt;
  vt.Start();
  QuickCustomer(vt, 0);
  Violations v("unplug");
  tlxsim::EngineImpl& impl = vt.engine().Impl();
  const std::string dir = ScratchDir();
  std::vector<double> times;

  auto nextWorks = [&](int port, const std::string& where) {
    char version[TLX_VERSION_SIZE] = {0};
    const int rc = TLX_GetVer(port, 0, 9600, version);
    if (rc != 0) v.Add(where + ": the next command gave " + std::to_string(rc));
  };
  auto check = [&](const std::string& where, int rc, double ms) {
    times.push_back(ms);
    if (rc >= 0) v.Add(where + ": result " + std::to_string(rc) + ", no error");
    if (ms > kLimitMs) v.Add(where + ": " + std::to_string(ms) + " ms");
  };

  // HID download: switch, start, three data packets (200000, 200000,
  // 50000 bytes), end packet.
  std::string media = dir + "/film.bin";
  WriteLocal(media, std::string(450000, 'f'));
  const int hidSteps = 6;
  for (int k = 1; k <= hidSteps; ++k) {
    if (k == 1)
      vt.SetFault("HIDCHANGE", At(FaultKind::Vanish, 1));
    else
      vt.SetFault("PACKET", At(FaultKind::Vanish, k - 1));
    const std::string where = "HID download, vanish at step " + std::to_string(k);
    const SoakClock::time_point t0 = SoakClock::now();
    const int rc = TLX_DownLoadFile(0, 0, 9600, 1, &media[0]);
    check(where, rc, MsSince(t0));
    vt.ClearFaults();
    // The terminal may have stored the file before the unplug took the
    // answer away, but never a part of it.
    std::string stored;
    if (impl.ReadTerminalFile(impl.MediaPath(1, "film.bin"), &stored) &&
        stored != std::string(450000, 'f'))
      v.Add(where + ": the terminal stored a partial file");
    nextWorks(0, where);
  }
  if (TLX_DownLoadFile(0, 0, 9600, 1, &media[0]) != 0) v.Add("HID download after the unplugs");

  // Pull of a 10000-byte file: start packet, four data packets, end packet.
  impl.WriteTerminalFile("/tmp/soak.bin", std::string(10000, 'p'));
  const std::string local = dir + "/pulled.bin";
  char pull[] = "\x1b[0PULLFILE\x02/tmp/soak.bin\x03";
  const int pullPackets = 6;
  for (int k = 1; k <= pullPackets; ++k) {
    vt.SetFault("PULLFILE", At(FaultKind::Vanish, k));
    const std::string where = "pull, vanish at packet " + std::to_string(k);
    const SoakClock::time_point t0 = SoakClock::now();
    const int rc = PullFile(0, 0, 9600, 3000, static_cast<int>(sizeof pull - 1), pull,
                            const_cast<char*>(local.c_str()));
    check(where, rc, MsSince(t0));
    vt.ClearFaults();
    if (Exists(local)) v.Add(where + ": partial local file left");
    unlink(local.c_str());
    nextWorks(0, where);
  }
  if (PullFile(0, 0, 9600, 3000, static_cast<int>(sizeof pull - 1), pull,
               const_cast<char*>(local.c_str())) != 0 ||
      !Exists(local))
    v.Add("pull after the unplugs");
  unlink(local.c_str());

  // Serial download of 8 blocks of 512 bytes.
  std::string photo = dir + "/photo.jpg";
  WriteLocal(photo, std::string(8 * 512, 'j'));
  const int blocks = 8;
  const int port = vt.serialPort();
  for (int k = 1; k <= blocks; ++k) {
    vt.SetFault("DOWNLOAD", At(FaultKind::Hangup, k));
    const std::string where = "serial download, hang-up at block " + std::to_string(k);
    const SoakClock::time_point t0 = SoakClock::now();
    const int rc = TLX_DownLoadFile(port, 0, 9600, 2, &photo[0]);
    check(where, rc, MsSince(t0));
    vt.ClearFaults();
    std::string stored;
    if (impl.ReadTerminalFile(impl.MediaPath(2, "photo.jpg"), &stored) &&
        stored != std::string(8 * 512, 'j'))
      v.Add(where + ": the terminal stored a partial file");
    nextWorks(port, where);
  }
  if (TLX_DownLoadFile(port, 0, 9600, 2, &photo[0]) != 0)
    v.Add("serial download after the hang-ups");

  unlink(media.c_str());
  unlink(photo.c_str());
  rmdir(dir.c_str());
  std::printf(
      "  %zu unplugs (HID download %d, pull %d, serial download %d); time to the error "
      "ms: median %.0f, max %.0f\n",
      times.size(), hidSteps, pullPackets, blocks, Percentile(times, 50), Percentile(times, 100));
  std::printf("unplug: %zu unplugs, %d violations (limit %.0f ms)\n", times.size(), v.Count(),
              kLimitMs);
  vt.Stop();
  return v.Count();
}

}  // namespace tlxsoak
