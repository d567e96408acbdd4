// The transfer exports of earlier releases: each checks its arguments as it
// always did and forwards to the transfers in transfer/.
#include <unistd.h>

#include <cstring>

#include "compat/transfer.h"
#include "compat/transfer_steps.h"

using tlx::Link;

namespace {

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

bool NameFits(const char* name) {
  return name != nullptr && strnlen(name, tlx::kMaxDestName + 1) <= tlx::kMaxDestName;
}

}  // namespace

int DownLoadFile(int port, char bp, int baud, int mediaType, char* path, char* destName) {
  if (path == nullptr) return TLX_ERR_ARG;
  if (access(path, F_OK) != 0) return TLX_ERR_NOFILE;
  const char* name = tlx::DestinationName(port != 0, mediaType, path, destName);
  if (name == nullptr) return TLX_ERR_ARG;
  tlx::TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  return tlx::DownloadFile(Link{port, bp, baud}, mediaType, path, name);
}

int DownLoadData(int port, char bp, int baud, int mediaType, char* data, int len, char* destName) {
  if (data == nullptr || len <= 0 || !NonEmpty(destName) || !NameFits(destName)) return TLX_ERR_ARG;
  tlx::TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  // Serial blocks refuse data that starts with a NUL byte.
  if (port != 0 && data[0] == '\0') return TLX_ERR_ARG;
  return tlx::DownloadData(Link{port, bp, baud}, mediaType, data, len, destName);
}

int PullFile(int, char, int, int timeoutMs, int cmdLen, char* cmd, char* localPath) {
  if (cmd == nullptr || cmdLen < 0 || !NonEmpty(localPath)) return TLX_ERR_ARG;
  tlx::TransferGuard guard;
  if (guard.Busy()) return TLX_ERR_OPEN;
  return tlx::Pull(timeoutMs, cmd, cmdLen, localPath);
}

int DownFile(int mediaType, int totalBlocks, int blockNo, char* data, int len, char* destName) {
  if (destName == nullptr || data == nullptr) return TLX_ERR_ARG;
  return tlx::SendBlock(mediaType, totalBlocks, blockNo, data, len, destName);
}

int GetDownParam(int total, int remaining, unsigned char* data, int len, unsigned char* out) {
  if (data == nullptr || out == nullptr) return TLX_ERR_ARG;
  return tlx::BuildBlockRecord(total, remaining, data, len, out);
}

int MediaTransProc(int port, char bp, int baud, char* packet, int len, int timeoutMs) {
  if (packet == nullptr || len <= 0) return TLX_ERR_ARG;
  return tlx::PacketExchange(Link{port, bp, baud}, packet, len, timeoutMs);
}

int SendHidChange(int port, char bp, int baud) { return tlx::SendSwitch(Link{port, bp, baud}); }

int SendStartPacket(int port, char bp, int baud) {
  return tlx::SendStartPacket(Link{port, bp, baud});
}

int SendFileData(int port, char bp, int baud, const char* path) {
  if (path == nullptr) return TLX_ERR_ARG;
  return tlx::SendFileData(Link{port, bp, baud}, path);
}

int SendMemData(int port, char bp, int baud, const char* data, int len) {
  if (data == nullptr || len <= 0) return TLX_ERR_ARG;
  return tlx::SendMemData(Link{port, bp, baud}, data, len);
}

int SendNamePacket(int port, char bp, int baud, int mediaType, const char* name) {
  if (!NameFits(name)) return TLX_ERR_ARG;
  return tlx::SendNamePacket(Link{port, bp, baud}, mediaType, name);
}

int HidDownLoadFile(int port, char bp, int baud, int mediaType, char* path, char* destName) {
  const char* name =
      path != nullptr ? tlx::DestinationName(false, mediaType, path, destName) : nullptr;
  if (name == nullptr) return TLX_ERR_ARG;
  return tlx::PacketDownload(Link{port, bp, baud}, mediaType, name, path, nullptr, 0);
}

int HidDownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                    char* destName) {
  if (data == nullptr || len <= 0 || !NameFits(destName)) return TLX_ERR_ARG;
  return tlx::PacketDownload(Link{port, bp, baud}, mediaType, destName, nullptr, data, len);
}

int ComDownLoadFile(int port, char bp, int baud, int mediaType, char* path, char* destName) {
  const char* name =
      path != nullptr ? tlx::DestinationName(true, mediaType, path, destName) : nullptr;
  if (name == nullptr) return TLX_ERR_ARG;
  return tlx::BlockDownloadFile(Link{port, bp, baud}, mediaType, path, name);
}

int ComDownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                    char* destName) {
  if (data == nullptr || data[0] == '\0' || len <= 0 || !NonEmpty(destName) || !NameFits(destName))
    return TLX_ERR_ARG;
  return tlx::BlockDownloadData(Link{port, bp, baud}, mediaType, data, len, destName);
}

int RecvPullPacket(const char* report, int reportSize, std::FILE* file) {
  if (report == nullptr || file == nullptr || reportSize <= tlx::kPacketHeader) return -1;
  return tlx::RecvPullPacket(report, reportSize, file);
}

int PullFileProc(int timeoutMs, int cmdLen, char* cmd, char* localPath) {
  return tlx::Pull(timeoutMs, cmd, cmdLen, localPath);
}
