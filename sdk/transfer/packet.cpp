// HID packets: building the header, one packet exchange, and the switch,
// start and end packets of a download.
#include <cstring>

#include "core/tlx_internal.h"
#include "transfer/steps.h"

namespace tlx {

void BuildPacketHeader(char* packet, int type, int payloadLen) {
  unsigned char sum = 0;
  const unsigned char* payload = reinterpret_cast<unsigned char*>(packet + kPacketHeader);
  for (int i = 0; i < payloadLen; ++i) sum ^= payload[i];
  packet[0] = 0x02;
  packet[1] = static_cast<char>(type);
  packet[2] = static_cast<char>(sum);
  packet[3] = static_cast<char>((payloadLen >> 16) & 0xFF);
  packet[4] = static_cast<char>((payloadLen >> 8) & 0xFF);
  packet[5] = static_cast<char>(payloadLen & 0xFF);
}

}  // namespace tlx

using namespace tlx;

TLX_EXPORT int MediaTransProc(int port, char bp, int baud, char* packet, int len, int timeoutMs) {
  if (packet == nullptr || len <= 0) return TLX_ERR_ARG;
  char reply[261] = {0};
  int replyLen = 260;
  int rc = Transact(Link{port, bp, baud}, packet, len, reply, &replyLen, EndOfPacketAnswer,
                    timeoutMs);
  if (rc != TLX_OK) return rc;
  if (replyLen >= 2 && reply[0] == 0x02 && reply[replyLen - 1] == 0x03 && reply[1] == 'U')
    return TLX_ERR_REPLY;
  return TLX_OK;
}

TLX_EXPORT int SendHidChange(int port, char bp, int baud) {
  char cmd[] = "\x1b[0HIDCHANGE";
  return MediaTransProc(port, bp, baud, cmd, 12, kPacketReplyMs);
}

TLX_EXPORT int SendStartPacket(int port, char bp, int baud) {
  char packet[7] = {0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
  return MediaTransProc(port, bp, baud, packet, sizeof packet, kPacketReplyMs);
}

TLX_EXPORT int SendNamePacket(int port, char bp, int baud, int mediaType, const char* name) {
  if (name == nullptr) return TLX_ERR_ARG;
  size_t nameLen = strnlen(name, kMaxDestName + 1);
  if (nameLen > kMaxDestName) return TLX_ERR_ARG;
  char packet[kEndPacketSize] = {0};
  packet[kPacketHeader] = static_cast<char>(mediaType & 0xFF);
  std::memcpy(packet + kPacketHeader + 1, name, nameLen);
  int payload = static_cast<int>(nameLen) + 1;
  BuildPacketHeader(packet, kPacketEnd, payload);
  return MediaTransProc(port, bp, baud, packet, kPacketHeader + payload, kEndPacketReplyMs);
}
