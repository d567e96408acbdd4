// The pull of a terminal file, fed whole 1024-byte HID reports from the
// input: the first data, the packet receiver and its answers. A failed pull
// must leave no local file behind. An input of odd length is a terminal
// that never stops: its reports come round again for ever, and the pull
// must still end, at the latest at its caps (TLX_MAX_PULL_SIZE,
// TLX_MAX_PULL_PACKETS).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "compat/transfer_steps.h"
#include "fake_libusb.h"
#include "fuzz_support.h"
#include "tlxdev.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  std::vector<std::string> reports;
  for (size_t off = 0; off < size; off += 1024)
    reports.emplace_back(reinterpret_cast<const char*>(data + off),
                         size - off < 1024 ? size - off : 1024);
  const bool endless = size % 2 == 1;
  fakeusb::SetReplies(reports, endless);
  static const std::string local = fuzz::ScratchDir() + "/pulled.bin";
  char cmd[] = "\x1b[0PULLFILE\x02/tmp/hw.png\x03";
  std::unique_ptr<char[]> path = fuzz::Text(local.data(), local.size());
  const int rc = PullFileProc(3000, static_cast<int>(sizeof cmd - 1), cmd, path.get());
  fuzz::Check(rc <= 0 && rc >= -10, "pull result", rc);
  if (rc != 0) fuzz::Check(access(local.c_str(), F_OK) != 0, "failed pull left its file", rc);
  struct stat st;
  if (rc == 0 && stat(local.c_str(), &st) == 0)
    fuzz::Check(st.st_size <= TLX_MAX_PULL_SIZE, "pulled file beyond the cap", st.st_size);
  unlink(local.c_str());
  return 0;
}
