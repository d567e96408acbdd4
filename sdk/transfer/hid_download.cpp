// HID packet download: switch command, start packet, data packets of up to
// 200000 bytes, end packet with media type and destination name. The link
// is opened and closed around every packet.
#include <cstdio>
#include <cstring>

#include "core/tlx_internal.h"
#include "transfer/steps.h"

using namespace tlx;

namespace {

// The packet area: header followed by the payload, which the file is read
// into directly.
char g_packet[kPacketBufferSize];

int SendDataPacket(int port, char bp, int baud, int payloadLen) {
  BuildPacketHeader(g_packet, kPacketData, payloadLen);
  return MediaTransProc(port, bp, baud, g_packet, kPacketHeader + payloadLen, kPacketReplyMs);
}

int Download(int port, char bp, int baud, int mediaType, const char* name, const char* path,
             const char* data, int len) {
  int rc = SendHidChange(port, bp, baud);
  if (rc != TLX_OK) return rc;
  rc = SendStartPacket(port, bp, baud);
  if (rc != TLX_OK) return rc;
  rc = path != nullptr ? SendFileData(port, bp, baud, path) : SendMemData(port, bp, baud, data, len);
  if (rc != TLX_OK) return rc;
  return SendNamePacket(port, bp, baud, mediaType, name);
}

}  // namespace

TLX_EXPORT int SendFileData(int port, char bp, int baud, const char* path) {
  if (path == nullptr) return TLX_ERR_ARG;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return TLX_ERR_ARG;
  int rc = TLX_OK;
  for (;;) {
    size_t n = std::fread(g_packet + kPacketHeader, 1, kMaxDataPayload, file);
    if (std::ferror(file)) {
      rc = TLX_ERR_NOFILE;
      break;
    }
    rc = SendDataPacket(port, bp, baud, static_cast<int>(n));
    if (rc != TLX_OK || n < kMaxDataPayload) break;
  }
  std::fclose(file);
  return rc;
}

TLX_EXPORT int SendMemData(int port, char bp, int baud, const char* data, int len) {
  if (data == nullptr || len <= 0) return TLX_ERR_ARG;
  for (int sent = 0; sent < len;) {
    int n = len - sent < kMaxDataPayload ? len - sent : kMaxDataPayload;
    std::memcpy(g_packet + kPacketHeader, data + sent, static_cast<size_t>(n));
    int rc = SendDataPacket(port, bp, baud, n);
    if (rc != TLX_OK) return rc;
    sent += n;
  }
  return TLX_OK;
}

TLX_EXPORT int HidDownLoadFile(int port, char bp, int baud, int mediaType, char* path,
                               char* destName) {
  const char* name = nullptr;
  if (path == nullptr || !HidDestName(mediaType, path, destName, &name)) return TLX_ERR_ARG;
  return Download(port, bp, baud, mediaType, name, path, nullptr, 0);
}

TLX_EXPORT int HidDownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                               char* destName) {
  if (data == nullptr || len <= 0 || destName == nullptr ||
      strnlen(destName, kMaxDestName + 1) > kMaxDestName)
    return TLX_ERR_ARG;
  return Download(port, bp, baud, mediaType, destName, nullptr, data, len);
}
