// The pull of a terminal file, fed whole 1024-byte HID reports from the
// input: the first data, the packet receiver and its answers. A failed pull
// must leave no local file behind.
#include <unistd.h>

#include <cstdint>

#include "fake_libusb.h"
#include "fuzz_support.h"
#include "transfer/steps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  std::vector<std::string> reports;
  for (size_t off = 0; off < size; off += 1024)
    reports.emplace_back(reinterpret_cast<const char*>(data + off),
                         size - off < 1024 ? size - off : 1024);
  fakeusb::SetReplies(reports);
  static const std::string local = fuzz::ScratchDir() + "/pulled.bin";
  char cmd[] = "\x1b[0PULLFILE\x02/tmp/hw.png\x03";
  std::unique_ptr<char[]> path = fuzz::Text(local.data(), local.size());
  const int rc = PullFileProc(3000, static_cast<int>(sizeof cmd - 1), cmd, path.get());
  fuzz::Check(rc <= 0 && rc >= -10, "pull result", rc);
  if (rc != 0) fuzz::Check(access(local.c_str(), F_OK) != 0, "failed pull left its file", rc);
  unlink(local.c_str());
  return 0;
}
