// The steps of the file transfers, exported under their own names for tools
// that drive a transfer piece by piece (forwarders in compat/transfer.cpp).
#ifndef TLX_TRANSFER_STEPS_H
#define TLX_TRANSFER_STEPS_H

#include <cstdio>

#include "tlx_export.h"
#include "transfer/transfer.h"

// Packet layout and time limits, as the transfers use them.
using tlx::kBlockAckMs;
using tlx::kEndPacketReplyMs;
using tlx::kEndPacketSize;
using tlx::kMaxDataPayload;
using tlx::kMaxDestName;
using tlx::kPacketBufferSize;
using tlx::kPacketData;
using tlx::kPacketEnd;
using tlx::kPacketHeader;
using tlx::kPacketReplyMs;
using tlx::kPacketStart;
using tlx::kPullPacketMs;
using tlx::kPullPayloadReports;
using tlx::kSerialBlock;

// One HID packet exchange: the port is opened and closed around it; a reply
// STX 'U' ... ETX gives -7, any other reply counts as accepted.
TLX_EXPORT int MediaTransProc(int port, char bp, int baud, char* packet, int len, int timeoutMs);
TLX_EXPORT int SendHidChange(int port, char bp, int baud);
TLX_EXPORT int SendStartPacket(int port, char bp, int baud);
// Data packets of at most 200000 bytes; a file ends with a packet shorter
// than that, empty when its size is a multiple of 200000.
TLX_EXPORT int SendFileData(int port, char bp, int baud, const char* path);
TLX_EXPORT int SendMemData(int port, char bp, int baud, const char* data, int len);
// End packet: media type (low 8 bits) and the name; names over 249 bytes: -1.
TLX_EXPORT int SendNamePacket(int port, char bp, int baud, int mediaType, const char* name);

TLX_EXPORT int HidDownLoadFile(int port, char bp, int baud, int mediaType, char* path,
                               char* destName);
TLX_EXPORT int HidDownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                               char* destName);
TLX_EXPORT int ComDownLoadFile(int port, char bp, int baud, int mediaType, char* path,
                               char* destName);
TLX_EXPORT int ComDownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                               char* destName);

// Handles one report of a pull: 0 more to come, 1 packet accepted, 2 end
// packet accepted (transfer complete), -1 refused, -2 local file not written,
// -3 the pull would grow beyond TLX_MAX_PULL_SIZE bytes.
TLX_EXPORT int RecvPullPacket(const char* report, int reportSize, std::FILE* file);
TLX_EXPORT int PullFileProc(int timeoutMs, int cmdLen, char* cmd, char* localPath);

namespace tlx {

// Destination name of a file download by link (see DestinationName); false
// when there is none or it is longer than 249 bytes.
inline bool SerialDestName(int mediaType, const char* path, const char* destName,
                           const char** out) {
  *out = DestinationName(true, mediaType, path, destName);
  return *out != nullptr;
}
inline bool HidDestName(int mediaType, const char* path, const char* destName, const char** out) {
  *out = DestinationName(false, mediaType, path, destName);
  return *out != nullptr;
}

}  // namespace tlx

#endif
