#include "bench_floor.h"

#include <cstring>
#include <vector>

#include "compat/session.h"
#include "compat/transfer.h"
#include "compat/util.h"

namespace tlxbench {

namespace {

bool Exchange(const std::string& cmd, char* reply, int cap, EndConditionFn cond, int timeoutMs) {
  if (WriteData(static_cast<int>(cmd.size()), const_cast<char*>(cmd.data())) != 0) return false;
  return ReadData(reply, cap, cond, timeoutMs) > 0;
}

std::string Packet(int type, const std::string& payload) {
  unsigned char x = 0;
  for (unsigned char c : payload) x ^= c;
  size_t n = payload.size();
  std::string p = {0x02,
                   static_cast<char>(type),
                   static_cast<char>(x),
                   static_cast<char>((n >> 16) & 0xFF),
                   static_cast<char>((n >> 8) & 0xFF),
                   static_cast<char>(n & 0xFF)};
  return p + payload;
}

}  // namespace

Spread FloorRoundTrips(int port, const std::string& cmd, int n) {
  Spread bad;
  bad.failures = n;
  if (OpenDevice(port, 0, 115200) != 0) return bad;
  Spread s = Measure(n, [&] {
    char reply[4096] = {0};
    return Exchange(cmd, reply, sizeof reply - 1, EndOfCondition1, 2000) ? 0 : -1;
  });
  CloseDevice(port, 0);
  return s;
}

double FloorHidDownload(const std::string& data, const std::string& name, int* rc) {
  std::vector<std::string> packets;
  packets.push_back("\x1b[0HIDCHANGE");
  packets.push_back(std::string("\x02\x01\x00\x00\x00\x00\x00", 7));
  size_t off = 0;
  do {
    size_t n = std::min<size_t>(200000, data.size() - off);
    packets.push_back(Packet(2, data.substr(off, n)));
    off += n;
    if (n < 200000) break;
  } while (true);
  packets.push_back(Packet(3, std::string(1, '\xff') + name));
  if (OpenDevice(0, '9', 9600) != 0) {
    *rc = -3;
    return 0;
  }
  double t = TimeOnce(
      [&] {
        for (const std::string& p : packets) {
          char reply[261] = {0};
          if (!Exchange(p, reply, 260, MediaEndCondition, 30000)) return -1;
        }
        return 0;
      },
      rc);
  CloseDevice(0, '9');
  return t;
}

double FloorSerialDownload(int port, const std::string& data, const std::string& name, int* rc) {
  std::vector<std::string> cmds;
  int total = static_cast<int>((data.size() + 511) / 512);
  for (int block = 1; block <= total; ++block) {
    size_t off = static_cast<size_t>(block - 1) * 512;
    int len = static_cast<int>(std::min<size_t>(512, data.size() - off));
    unsigned char record[600];
    int recLen = GetDownParam(
        total, total - block,
        reinterpret_cast<unsigned char*>(const_cast<char*>(data.data() + off)), len, record);
    char hex[1300] = {0};
    HexAsc1Split(reinterpret_cast<char*>(record), recLen, hex, sizeof hex - 1);
    cmds.push_back(
        "\x1b[0DOWNLOAD\x02"
        "255|" +
        name + "|" + hex + "\x03");
  }
  if (OpenDevice(port, 0, 115200) != 0) {
    *rc = -3;
    return 0;
  }
  double t = TimeOnce(
      [&] {
        for (const std::string& c : cmds) {
          char ack[4] = {0};
          if (!Exchange(c, ack, 3, MediaEndCondition, 2000)) return -1;
          if (std::memcmp(ack, "\x02\xaa\x03", 3) != 0) return -7;
        }
        return 0;
      },
      rc);
  CloseDevice(port, 0);
  return t;
}

double FloorPull(const std::string& path, int* rc) {
  const std::string cmd = "\x1b[0PULLFILE\x02" + path + "\x03";
  const std::string accept(
      "\x1b[0RESPONSE\x02"
      "0\x03",
      14);
  if (OpenDevice(0, '9', 9600) != 0) {
    *rc = -3;
    return 0;
  }
  double t = TimeOnce(
      [&] {
        if (WriteData(static_cast<int>(cmd.size()), const_cast<char*>(cmd.data())) != 0) return -4;
        const int R = GetHidReport();
        long remaining = 0;
        for (;;) {
          char report[2048] = {0};
          if (ReadData(report, R, nullptr, 3000) <= 0) return -5;
          const unsigned char* r = reinterpret_cast<unsigned char*>(report);
          if (remaining > 0) {
            remaining -= R;
            if (remaining <= 0) {
              remaining = 0;
              WriteData(14, const_cast<char*>(accept.data()));
            }
            continue;
          }
          long n = (long(r[3]) << 16) | (long(r[4]) << 8) | r[5];
          if (r[1] == 2 && n > R - 6) {
            remaining = n - (R - 6);
            continue;
          }
          WriteData(14, const_cast<char*>(accept.data()));
          if (r[1] == 3) return 0;
        }
      },
      rc);
  CloseDevice(0, '9');
  return t;
}

}  // namespace tlxbench
