// USB packets: building the header, one packet exchange, and the switch,
// start and end packets of a download.
#include <cstring>

#include "transfer/transfer.h"

namespace tlx {

void BuildPacketHeader(char* packet, int type, int payloadLen) {
  unsigned char sum = 0;
  const unsigned char* payload = reinterpret_cast<unsigned char*>(packet + kPacketHeader);
  for (int i = 0; i < payloadLen; ++i) sum ^= payload[i];
  packet[0] = kStx;
  packet[1] = static_cast<char>(type);
  packet[2] = static_cast<char>(sum);
  packet[3] = static_cast<char>((payloadLen >> 16) & 0xFF);
  packet[4] = static_cast<char>((payloadLen >> 8) & 0xFF);
  packet[5] = static_cast<char>(payloadLen & 0xFF);
}

int PacketExchange(const Link& link, const char* packet, int len, int timeoutMs) {
  char reply[261] = {0};
  int replyLen = 260;
  int rc = Transact(link, packet, len, reply, &replyLen, EndOfPacketAnswer, timeoutMs);
  if (rc != TLX_OK) return rc;
  if (replyLen >= 2 && reply[0] == kStx && reply[replyLen - 1] == kEtx && reply[1] == kRefusedMark)
    return TLX_ERR_REPLY;
  return TLX_OK;
}

int SendSwitch(const Link& link) {
  static const char kSwitch[] = "\x1b[0HIDCHANGE";
  return PacketExchange(link, kSwitch, 12, kPacketReplyMs);
}

int SendStartPacket(const Link& link) {
  const char packet[7] = {kStx, kPacketStart, 0x00, 0x00, 0x00, 0x00, 0x00};
  return PacketExchange(link, packet, sizeof packet, kPacketReplyMs);
}

int SendNamePacket(const Link& link, int mediaType, const char* name) {
  const size_t nameLen = strnlen(name, kMaxDestName + 1);
  if (nameLen > kMaxDestName) return TLX_ERR_ARG;  // would not fit the packet
  char packet[kEndPacketSize] = {0};
  packet[kPacketHeader] = static_cast<char>(mediaType & 0xFF);
  std::memcpy(packet + kPacketHeader + 1, name, nameLen);
  int payload = static_cast<int>(nameLen) + 1;
  BuildPacketHeader(packet, kPacketEnd, payload);
  return PacketExchange(link, packet, kPacketHeader + payload, kEndPacketReplyMs);
}

}  // namespace tlx
