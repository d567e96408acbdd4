// File transfers: the serial block download, the USB packet download and
// the pull of a file the terminal produced. The callers (the TLX_ commands
// and the legacy exports in compat/) check the arguments and choose the
// destination name once; the steps here take them as given.
#ifndef TLX_TRANSFER_TRANSFER_H
#define TLX_TRANSFER_TRANSFER_H

#include <cstdio>

#include "core/tlx_internal.h"

namespace tlx {

// Packet layout of the USB download and the pull.
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
  kPacketReplyMs = 2000,      // answer to the switch, start and data packets
  kEndPacketReplyMs = 30000,  // answer to the end packet
  kBlockAckMs = 2000,         // acknowledgement of a serial block
  kPullPacketMs = 2000,       // each pull report after the first
};

// The name a downloaded file gets on the terminal: with media type 255 the
// destination name when it is not empty, an upgrade package (media type 4)
// over serial "update.dat", else the base name of the source path. Null
// when that name is empty or longer than kMaxDestName bytes: such a
// download is refused on both links.
const char* DestinationName(bool serial, int mediaType, const char* path, const char* destName);

// A download of the file at path (which exists) or of len > 0 bytes of
// data, stored as name (checked): serial blocks on a serial link, USB
// packets on port 0.
int DownloadFile(const Link& link, int mediaType, const char* path, const char* name);
int DownloadData(const Link& link, int mediaType, const char* data, int len, const char* name);

// ---- USB packets (hid_download.cpp, packet.cpp) ----

// Fills the 6-byte header of a packet whose payload follows it in place.
void BuildPacketHeader(char* packet, int type, int payloadLen);
// One packet exchange, the link opened and closed around it: a reply
// STX 'U' ... ETX gives TLX_ERR_REPLY, any other reply counts as accepted.
int PacketExchange(const Link& link, const char* packet, int len, int timeoutMs);
int SendSwitch(const Link& link);
int SendStartPacket(const Link& link);
// Data packets of at most 200000 bytes; a file ends with a packet shorter
// than that, empty when its size is a multiple of 200000. A file that does
// not open gives TLX_ERR_ARG.
int SendFileData(const Link& link, const char* path);
int SendMemData(const Link& link, const char* data, int len);
// End packet: media type (low 8 bits) and the name (at most kMaxDestName).
int SendNamePacket(const Link& link, int mediaType, const char* name);
// Switch, start packet, data packets (from path, else from data), end packet.
int PacketDownload(const Link& link, int mediaType, const char* name, const char* path,
                   const char* data, int len);

// ---- Serial blocks (serial_download.cpp) ----

// The parameter record of a block into out (len + 9 bytes): total and
// remaining blocks, the data, the XOR of all. TLX_ERR_ARG for a len outside
// 1..512.
int BuildBlockRecord(int total, int remaining, const unsigned char* data, int len,
                     unsigned char* out);
// One block on the open link, answered by the acknowledgement.
int SendBlock(int mediaType, int totalBlocks, int blockNo, const char* data, int len,
              const char* name);
int BlockDownloadFile(const Link& link, int mediaType, const char* path, const char* name);
int BlockDownloadData(const Link& link, int mediaType, const char* data, int len, const char* name);

// ---- Pull (pull.cpp) ----

// Handles one report of a pull: 0 more to come, 1 packet accepted, 2 end
// packet accepted (transfer complete), -1 refused, -2 local file not written,
// -3 the pull would grow beyond TLX_MAX_PULL_SIZE bytes.
int RecvPullPacket(const char* report, int reportSize, std::FILE* file);
// Sends cmd over USB and writes the pulled file to localPath.
int Pull(int timeoutMs, const char* cmd, int cmdLen, const char* localPath);

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
