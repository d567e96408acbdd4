// Floors: the same exchanges as the library's, written and read through the
// session layer on a link that stays open, with every command prepared
// beforehand. What the library takes beyond these is its overhead.
#ifndef TLX_BENCH_FLOOR_H
#define TLX_BENCH_FLOOR_H

#include <string>

#include "bench_stats.h"

namespace tlxbench {

// n write/read pairs of cmd, answered up to ETX.
Spread FloorRoundTrips(int port, const std::string& cmd, int n);
// The packets of a HID download of data under name (media type 255).
double FloorHidDownload(const std::string& data, const std::string& name, int* rc);
// The DOWNLOAD blocks of a serial download of data under name.
double FloorSerialDownload(int port, const std::string& data, const std::string& name, int* rc);
// A pull of the terminal file path: reports read, responses written.
double FloorPull(const std::string& path, int* rc);

}  // namespace tlxbench

#endif
