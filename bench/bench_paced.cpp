#include "bench_paced.h"

#include <cstdio>
#include <exception>

#include "VirtualTerminal.h"
#include "bench_data.h"
#include "bench_stats.h"
#include "compat/transfer.h"

namespace tlxbench {

namespace {

constexpr size_t kBlock = 512;                        // data bytes per serial block
constexpr size_t kPacket = 200000;                    // data bytes per HID packet
constexpr size_t kReport = 1024;                      // one full-speed frame each
constexpr double kUsbBulkCeiling = 19.0 * 64 * 1000;  // bytes a second on a full-speed bus

void Print(const std::string& what, double bytes, double seconds, int rc, double ceilingRate,
           double lineSeconds, const char* ceilingName) {
  const double rate = seconds > 0 ? bytes / seconds : 0;
  std::printf("%-30s %9.0f B/s (%8.3f s) | %s %9.0f B/s (%8.3f s) | ratio %.3f (%+.2f %%)%s\n",
              what.c_str(), rate, seconds, ceilingName, ceilingRate, lineSeconds,
              ceilingRate > 0 ? rate / ceilingRate : 0.0,
              lineSeconds > 0 ? (seconds / lineSeconds - 1) * 100 : 0.0,
              rc != 0 ? "  (FAILED)" : "");
  std::fflush(stdout);
}

}  // namespace

double SerialDownloadLineSeconds(size_t size, int mediaType, const std::string& name, long baud) {
  // "\x1b[0DOWNLOAD\x02" type '|' name '|' HexAsc1(record) ETX, where the
  // record is 4 + 4 + data + 1 bytes; then STX 0xAA ETX back.
  const size_t head = 12 + std::to_string(mediaType).size() + 1 + name.size() + 1 + 1;
  size_t bytes = 0;
  for (size_t sent = 0; sent < size; sent += kBlock) {
    const size_t n = std::min(kBlock, size - sent);
    bytes += head + 2 * (9 + n) + 3;
  }
  return static_cast<double>(bytes) * 10 / static_cast<double>(baud);
}

long HidDownloadFrames(size_t size) {
  long frames = 2 + 2 + 2;  // switch, start packet, end packet: out and acknowledgement
  size_t sent = 0;
  do {
    const size_t n = std::min(kPacket, size - sent);
    frames += static_cast<long>((6 + n + kReport - 1) / kReport) + 1;
    sent += n;
    if (n < kPacket) break;  // a full last packet is followed by an empty one
  } while (true);
  return frames;
}

int RunPaced(const std::string& scratch) {
  tlxsim::VirtualTerminalOptions options;
  options.pace = true;
  tlxsim::VirtualTerminal vt(options);
  try {
    vt.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tlx-bench: cannot start the virtual terminal: %s\n", e.what());
    return 1;
  }
  std::printf(
      "tlx-bench --paced: the virtual terminal keeps the line's pace (serial: 10 bit "
      "times a byte at the host's rate; USB: full-speed frames, 1 ms each, 64-byte "
      "packets, 19 a frame)\n\n");
  int failures = 0;
  const int serial = vt.serialPort();
  {
    const std::string data = Bytes(64u << 10);
    const std::string path = scratch + "/ser64k.bin";
    WriteLocal(path, data);
    for (long baud : {115200L, 9600L}) {
      // A ten-character name makes every full block command 1070 bytes.
      char name[] = "ser64k.bin";
      std::string local = path;
      int rc = 0;
      double t = TimeOnce(
          [&] { return DownLoadFile(serial, 0, static_cast<int>(baud), 255, &local[0], name); },
          &rc);
      const double line = SerialDownloadLineSeconds(data.size(), 255, name, baud);
      Print("serial download 64 KiB @" + std::to_string(baud), double(data.size()), t, rc,
            double(data.size()) / line, line, "line ceiling");
      failures += rc != 0;
    }
  }
  {
    const std::string data = Bytes(4u << 20);
    const std::string path = scratch + "/hid4m.bin";
    WriteLocal(path, data);
    char name[] = "hid4m.bin";
    std::string local = path;
    int rc = 0;
    double t = TimeOnce([&] { return DownLoadFile(0, 0, 9600, 255, &local[0], name); }, &rc);
    const double frames = static_cast<double>(HidDownloadFrames(data.size()));
    Print("HID download 4 MiB", double(data.size()), t, rc, double(data.size()) / (frames / 1000),
          frames / 1000, "frame ceiling");
    std::printf("%-30s %9s                | full-speed bulk %9.0f B/s             | ratio %.3f\n",
                "", "", kUsbBulkCeiling, t > 0 ? double(data.size()) / t / kUsbBulkCeiling : 0.0);
    failures += rc != 0;
  }
  vt.Stop();
  return failures == 0 ? 0 : 1;
}

}  // namespace tlxbench
