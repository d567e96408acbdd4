// Download entry points: the destination name, and the link's protocol.
#include <atomic>
#include <cstring>

#include "transfer/transfer.h"

static_assert(tlx::kMaxDestName == TLX_MAX_DEST_NAME, "end packet name limit and header differ");

namespace tlx {

namespace {

std::atomic<bool> g_transferRunning{false};

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

// Characters after the last '/', the whole path when there is none.
const char* BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

}  // namespace

// A path that ends in '/' has no base name: it names no file the terminal
// could store, on either link.
const char* DestinationName(bool serial, int mediaType, const char* path, const char* destName) {
  const char* name;
  if (mediaType == 255 && NonEmpty(destName))
    name = destName;
  else if (serial && mediaType == 4)
    name = "update.dat";
  else
    name = BaseName(path);
  if (!NonEmpty(name) || strnlen(name, kMaxDestName + 1) > kMaxDestName) return nullptr;
  return name;
}

int DownloadFile(const Link& link, int mediaType, const char* path, const char* name) {
  return link.IsUsb() ? PacketDownload(link, mediaType, name, path, nullptr, 0)
                      : BlockDownloadFile(link, mediaType, path, name);
}

int DownloadData(const Link& link, int mediaType, const char* data, int len, const char* name) {
  return link.IsUsb() ? PacketDownload(link, mediaType, name, nullptr, data, len)
                      : BlockDownloadData(link, mediaType, data, len, name);
}

TransferGuard::TransferGuard() {
  bool expected = false;
  owner_ = g_transferRunning.compare_exchange_strong(expected, true);
}

TransferGuard::~TransferGuard() {
  if (owner_) g_transferRunning.store(false);
}

}  // namespace tlx
