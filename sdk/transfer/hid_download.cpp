// USB packet download: switch command, start packet, data packets of up to
// 200000 bytes, end packet with media type and destination name. The link
// is opened and closed around every packet.
#include <cstdio>
#include <cstring>

#include "transfer/transfer.h"

namespace tlx {

namespace {

// The packet area: header followed by the payload, which the file is read
// into directly.
char g_packet[kPacketBufferSize];

int SendDataPacket(const Link& link, int payloadLen) {
  BuildPacketHeader(g_packet, kPacketData, payloadLen);
  return PacketExchange(link, g_packet, kPacketHeader + payloadLen, kPacketReplyMs);
}

}  // namespace

int SendFileData(const Link& link, const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return TLX_ERR_ARG;
  int rc = TLX_OK;
  for (;;) {
    size_t n = std::fread(g_packet + kPacketHeader, 1, kMaxDataPayload, file);
    if (std::ferror(file)) {
      rc = TLX_ERR_NOFILE;
      break;
    }
    rc = SendDataPacket(link, static_cast<int>(n));
    if (rc != TLX_OK || n < kMaxDataPayload) break;
  }
  std::fclose(file);
  return rc;
}

int SendMemData(const Link& link, const char* data, int len) {
  for (int sent = 0; sent < len;) {
    int n = len - sent < kMaxDataPayload ? len - sent : kMaxDataPayload;
    std::memcpy(g_packet + kPacketHeader, data + sent, static_cast<size_t>(n));
    int rc = SendDataPacket(link, n);
    if (rc != TLX_OK) return rc;
    sent += n;
  }
  return TLX_OK;
}

int PacketDownload(const Link& link, int mediaType, const char* name, const char* path,
                   const char* data, int len) {
  int rc = SendSwitch(link);
  if (rc != TLX_OK) return rc;
  rc = SendStartPacket(link);
  if (rc != TLX_OK) return rc;
  rc = path != nullptr ? SendFileData(link, path) : SendMemData(link, data, len);
  if (rc != TLX_OK) return rc;
  return SendNamePacket(link, mediaType, name);
}

}  // namespace tlx
