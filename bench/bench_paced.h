// Figures on a line that keeps the real line's pace (the virtual terminal
// with pacing on), each beside that line's physical ceiling: what the
// bytes of the transfer take on the wire at the line's rate.
#ifndef TLX_BENCH_PACED_H
#define TLX_BENCH_PACED_H

#include <cstddef>
#include <string>

namespace tlxbench {

// Seconds a serial download of `size` file bytes under `name` takes on the
// wire at `baud`: every block command and its 3-byte acknowledgement, 10
// bit times per byte.
double SerialDownloadLineSeconds(size_t size, int mediaType, const std::string& name, long baud);
// Full-speed frames a HID download of `size` bytes takes: one per 1024-byte
// report each way (switch, start packet, data packets, end packet, and the
// acknowledgement of each).
long HidDownloadFrames(size_t size);

// Serial download of 64 KiB at 115200 and 9600, HID download of 4 MiB,
// against a paced terminal. Returns 0 when every transfer succeeded.
int RunPaced(const std::string& scratchDir);

}  // namespace tlxbench

#endif
