// The steps of the file transfers, exported under their own names for tools
// that drive a transfer piece by piece.
#ifndef TLX_TRANSFER_STEPS_H
#define TLX_TRANSFER_STEPS_H

#include <cstdio>

#include "tlx_export.h"

// HID packet layout.
enum {
  kPacketHeader = 6,
  kPacketStart = 1,
  kPacketData = 2,
  kPacketEnd = 3,
  kMaxDataPayload = 200000,
  kPacketBufferSize = 204800,
  kEndPacketSize = 256,
  kMaxDestName = kEndPacketSize - kPacketHeader - 1,  // 249
  kSerialBlock = 512,
  kPullPayloadReports = 250,
};

// Time limits of the transfer steps, in milliseconds.
enum {
  kPacketReplyMs = 2000,     // answer to the switch, start and data packets
  kEndPacketReplyMs = 30000, // answer to the end packet
  kBlockAckMs = 2000,        // acknowledgement of a serial block
  kPullPacketMs = 2000,      // each pull report after the first
};

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

// Fills the 6-byte header of a packet whose payload follows it in place.
void BuildPacketHeader(char* packet, int type, int payloadLen);

// Destination name of a file download by link (see DestinationName in
// download.cpp); false when there is none or it is longer than 249 bytes.
bool SerialDestName(int mediaType, const char* path, const char* destName, const char** out);
bool HidDestName(int mediaType, const char* path, const char* destName, const char** out);

// Held by every transfer: the packet buffer and the pull's receiver state
// are single areas of the library, so transfers never overlap.
class TransferGuard {
 public:
  TransferGuard();
  ~TransferGuard();
  TransferGuard(const TransferGuard&) = delete;
  TransferGuard& operator=(const TransferGuard&) = delete;
  bool Busy() const { return !owner_; }

 private:
  bool owner_;
};

}  // namespace tlx

#endif
