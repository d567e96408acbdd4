// Serial block download: the file goes as 512-byte blocks, each carried in
// a DOWNLOAD command in HexAsc1 form and acknowledged by the terminal. The
// link stays open from the first to the last block.
#include <cstdio>
#include <cstring>

#include "transfer/transfer.h"
#include "util/convert.h"
#include "util/files.h"

namespace tlx {

namespace {

void PutLe32(unsigned char* out, int value) {
  unsigned int v = static_cast<unsigned int>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

// Block source: a file or a memory block.
struct Source {
  std::FILE* file;
  const char* data;
};

int SendBlocks(int mediaType, const char* name, long size, Source src) {
  int total = static_cast<int>((size + kSerialBlock - 1) / kSerialBlock);
  char block[kSerialBlock];
  long sent = 0;
  for (int blockNo = 1; sent < size; ++blockNo) {
    long left = size - sent;
    int want = static_cast<int>(left < kSerialBlock ? left : static_cast<long>(kSerialBlock));
    int got = want;
    if (src.file != nullptr) {
      got = static_cast<int>(std::fread(block, 1, static_cast<size_t>(want), src.file));
      if (got == 0) return TLX_ERR_SHORTFILE;
    } else {
      std::memcpy(block, src.data + sent, static_cast<size_t>(want));
    }
    int rc = SendBlock(mediaType, total, blockNo, block, got, name);
    if (rc != TLX_OK) return rc;
    sent += got;
  }
  return TLX_OK;
}

}  // namespace

int BuildBlockRecord(int total, int remaining, const unsigned char* data, int len,
                     unsigned char* out) {
  if (len < 1 || len > kSerialBlock) return TLX_ERR_ARG;
  PutLe32(out, total);
  PutLe32(out + 4, remaining);
  std::memcpy(out + 8, data, static_cast<size_t>(len));
  unsigned char sum = 0;
  for (int i = 0; i < 8 + len; ++i) sum ^= out[i];
  out[8 + len] = sum;
  return len + 9;
}

int SendBlock(int mediaType, int totalBlocks, int blockNo, const char* data, int len,
              const char* name) {
  unsigned char record[kSerialBlock + 9];
  int recordLen = BuildBlockRecord(totalBlocks, totalBlocks - blockNo,
                                   reinterpret_cast<const unsigned char*>(data), len, record);
  if (recordLen < 0) return TLX_ERR_ARG;
  // The command is built in place: head and name, the record's HexAsc1
  // form straight behind them, ETX; written with its explicit length.
  char cmd[4096];
  int n = std::snprintf(cmd, sizeof cmd, "\x1b[0DOWNLOAD\x02%d|%s|", mediaType, name);
  if (n < 0 || n + 2 * recordLen + 2 > static_cast<int>(sizeof cmd)) return TLX_ERR_ARG;
  n += HexAsc1Split(reinterpret_cast<const char*>(record), recordLen, cmd + n,
                    static_cast<int>(sizeof cmd) - n - 2);
  cmd[n++] = kEtx;
  cmd[n] = '\0';
  if (WriteRaw(cmd, n) != TLX_OK) return TLX_ERR_WRITE;
  char ack[4] = {0};
  int got = ReadRaw(ack, 3, EndOfPacketAnswer, kBlockAckMs);
  // A missing acknowledgement, also after the wait ran out, is a failed read.
  if (got < 0) return PortReadCode(got, TLX_ERR_READ);
  return got == 3 && IsAck(ack) ? TLX_OK : TLX_ERR_REPLY;
}

int BlockDownloadFile(const Link& link, int mediaType, const char* path, const char* name) {
  if (OpenLink(link) != TLX_OK) return TLX_ERR_OPEN;
  int rc = TLX_OK;
  std::FILE* file = std::fopen(path, "rb");
  // The size announced is that of the file actually opened.
  const long size = file != nullptr ? FileSizeOf(nullptr, fileno(file)) : -1;
  if (size < 0) {
    rc = TLX_ERR_NOFILE;
  } else {
    rc = SendBlocks(mediaType, name, size, Source{file, nullptr});
  }
  if (file != nullptr) std::fclose(file);
  CloseLink(link);
  return rc;
}

int BlockDownloadData(const Link& link, int mediaType, const char* data, int len,
                      const char* name) {
  if (OpenLink(link) != TLX_OK) return TLX_ERR_OPEN;
  int rc = SendBlocks(mediaType, name, len, Source{nullptr, data});
  CloseLink(link);
  return rc;
}

}  // namespace tlx
