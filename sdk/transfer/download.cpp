// Download entry points: pick the link's protocol and the destination name.
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "core/tlx_internal.h"
#include "transfer/steps.h"
#include "transfer/transfer.h"
#include "tlxdev.h"

static_assert(kMaxDestName == TLX_MAX_DEST_NAME, "end packet name limit and header differ");

namespace tlx {

namespace {

std::atomic<bool> g_transferRunning{false};

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

// Characters after the last '/', the whole path when there is none.
const char* BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

bool Fits(const char* name) {
  return name != nullptr && strnlen(name, kMaxDestName + 1) <= kMaxDestName;
}

}  // namespace

bool SerialDestName(int mediaType, const char* path, const char* destName, const char** out) {
  const char* name;
  if (mediaType == 255 && NonEmpty(destName)) {
    name = destName;
  } else if (mediaType == 4) {
    name = "update.dat";
  } else {
    name = BaseName(path);
    if (name[0] == '\0') name = path;
  }
  *out = name;
  return Fits(name);
}

// As the serial link, a named file without a name takes the source's base
// name; an upgrade package keeps its own base name on this link.
bool HidDestName(int mediaType, const char* path, const char* destName, const char** out) {
  const char* name = (mediaType == 255 && NonEmpty(destName)) ? destName : BaseName(path);
  *out = name;
  return NonEmpty(name) && Fits(name);
}

TransferGuard::TransferGuard() {
  bool expected = false;
  owner_ = g_transferRunning.compare_exchange_strong(expected, true);
}

TransferGuard::~TransferGuard() {
  if (owner_) g_transferRunning.store(false);
}

}  // namespace tlx

using namespace tlx;

TLX_EXPORT int DownLoadFile(int port, char bp, int baud, int mediaType, char* path,
                            char* destName) {
  if (path == nullptr) return TLX_ERR_ARG;
  if (access(path, F_OK) != 0) return TLX_ERR_NOFILE;
  const char* name = nullptr;
  bool named = port == 0 ? HidDestName(mediaType, path, destName, &name)
                         : SerialDestName(mediaType, path, destName, &name);
  if (!named) return TLX_ERR_ARG;
  TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  return port == 0 ? HidDownLoadFile(port, bp, baud, mediaType, path, destName)
                   : ComDownLoadFile(port, bp, baud, mediaType, path, destName);
}

TLX_EXPORT int DownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                            char* destName) {
  if (data == nullptr || len <= 0 || !NonEmpty(destName) ||
      strnlen(destName, kMaxDestName + 1) > kMaxDestName)
    return TLX_ERR_ARG;
  TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  return port == 0 ? HidDownLoadData(port, bp, baud, mediaType, data, len, destName)
                   : ComDownLoadData(port, bp, baud, mediaType, data, len, destName);
}
