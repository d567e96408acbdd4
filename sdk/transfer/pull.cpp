// Pull of a file that the terminal produced (signature image and data):
// the terminal sends packets over the HID link, the host answers every
// complete packet with an acceptance or refusal text and writes the data
// payloads to the local file. The file is written under a new private name
// beside the caller's path and renamed onto it only when the pull has
// succeeded; the size of a pull and the reports it takes are capped, so a
// terminal that never stops sending cannot fill the disk or hold the call.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "transfer/transfer.h"
#include "util/files.h"

namespace tlx {

namespace {

const char kAccept[] =
    "\x1b[0RESPONSE\x02"
    "0\x03";
const char kRefuse[] =
    "\x1b[0RESPONSE\x02"
    "1\x03";
enum { kResponseLen = 14, kReportArea = 2048 };
// The pull runs on the USB link, without a channel.
const Link kPullLink{0, '9', 9600};

// Receiver state, reset at every pull start and after every whole packet.
struct Receiver {
  bool expectHeader = true;
  long remaining = 0;
  unsigned char checksum = 0;
  unsigned char running = 0;
};
Receiver g_receiver;
// Payload bytes stored by the pull under way.
long g_pulledBytes = 0;

void ResetReceiver() { g_receiver = Receiver(); }

int Answer(bool accepted, int result) {
  WriteRaw(accepted ? kAccept : kRefuse, kResponseLen);
  return accepted ? result : -1;
}

unsigned char Fold(unsigned char sum, const unsigned char* p, long n) {
  for (long i = 0; i < n; ++i) sum ^= p[i];
  return sum;
}

enum StoreResult { kStored, kNotWritten, kOverCap };

StoreResult Store(const unsigned char* p, long n, std::FILE* file) {
  if (n > TLX_MAX_PULL_SIZE - g_pulledBytes) return kOverCap;
  if (n != 0 && std::fwrite(p, 1, static_cast<size_t>(n), file) != static_cast<size_t>(n))
    return kNotWritten;
  g_pulledBytes += n;
  return kStored;
}

int StoreFailure(StoreResult r) { return r == kOverCap ? -3 : -2; }

}  // namespace

int RecvPullPacket(const char* report, int reportSize, std::FILE* file) {
  const unsigned char* r = reinterpret_cast<const unsigned char*>(report);
  const long R = reportSize;
  Receiver& st = g_receiver;

  if (!st.expectHeader) {
    if (R < st.remaining) {
      st.running = Fold(st.running, r, R);
      const StoreResult stored = Store(r, R, file);
      if (stored != kStored) return StoreFailure(stored);
      st.remaining -= R;
      return 0;
    }
    unsigned char sum = Fold(st.running, r, st.remaining);
    bool ok = sum == st.checksum;
    const StoreResult stored = ok ? Store(r, st.remaining, file) : kStored;
    ResetReceiver();
    if (stored != kStored) return StoreFailure(stored);
    return Answer(ok, 1);
  }

  int type = r[1];
  long n = (static_cast<long>(r[3]) << 16) | (static_cast<long>(r[4]) << 8) | r[5];
  if (r[0] != kStx || type > kPacketEnd || n > R * kPullPayloadReports) return Answer(false, 0);
  if (type == 0) return 0;
  const unsigned char checksum = r[2];
  const unsigned char* payload = r + kPacketHeader;
  const long inReport = R - kPacketHeader;

  if (type == kPacketData && n > inReport) {
    st.running = Fold(0, payload, inReport);
    const StoreResult stored = Store(payload, inReport, file);
    if (stored != kStored) return StoreFailure(stored);
    st.checksum = checksum;
    st.remaining = n - inReport;
    st.expectHeader = false;
    return 0;
  }
  // Start and end packets must fit in one report.
  if (n > inReport) return Answer(false, 0);
  bool ok = Fold(0, payload, n) == checksum;
  if (type == kPacketData) {
    const StoreResult stored = ok ? Store(payload, n, file) : kStored;
    if (stored != kStored) return StoreFailure(stored);
    return Answer(ok, 1);
  }
  return Answer(ok, type == kPacketStart ? 1 : 2);
}

int Pull(int timeoutMs, const char* cmd, int cmdLen, const char* localPath) {
  int rc = OpenLink(kPullLink);
  if (rc != TLX_OK) return rc;
  int R = kReportSize;
  if (R <= kPacketHeader || R > kReportArea) R = kReportArea / 2;

  if (WriteRaw(cmd, cmdLen) != TLX_OK) {
    CloseLink(kPullLink);
    return TLX_ERR_WRITE;
  }
  char report[kReportArea];
  std::memset(report, 0, sizeof report);
  if (WireTraceOn()) WireTracePullRead(true);
  int got = ReadRaw(report, R, nullptr, timeoutMs);
  if (got <= 0) {
    CloseLink(kPullLink);
    // No first data, also when the wait ran out, is a failed read.
    return got == 0 ? TLX_ERR_READ : PortReadCode(got, TLX_ERR_READ);
  }

  ResetReceiver();
  g_pulledBytes = 0;
  char tmpPath[4096];
  const int fd = CreatePrivateBeside(localPath, tmpPath, sizeof tmpPath);
  std::FILE* file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) {
      ::close(fd);
      ::unlink(tmpPath);
    }
    CloseLink(kPullLink);
    return TLX_ERR_ARG;
  }
  for (long reports = 1;; ++reports) {
    int step = RecvPullPacket(report, R, file);
    if (step == 2) {
      rc = TLX_OK;
      break;
    }
    if (step == -1 || step == -3) {
      rc = TLX_ERR_REPLY;
      break;
    }
    if (step == -2) {
      rc = TLX_ERR_ARG;
      break;
    }
    if (reports >= TLX_MAX_PULL_PACKETS) {
      rc = TLX_ERR_REPLY;
      break;
    }
    std::memset(report, 0, sizeof report);
    if (WireTraceOn()) WireTracePullRead(g_receiver.expectHeader);
    got = ReadRaw(report, R, nullptr, kPullPacketMs);
    if (got <= 0) {
      rc = got == 0 ? TLX_ERR_READ : PortReadCode(got);
      break;
    }
  }
  if (std::fclose(file) != 0 && rc == TLX_OK) rc = TLX_ERR_ARG;
  CloseLink(kPullLink);
  ResetReceiver();
  g_pulledBytes = 0;
  if (rc == TLX_OK && std::rename(tmpPath, localPath) != 0) rc = TLX_ERR_ARG;
  if (rc != TLX_OK) {
    ::unlink(tmpPath);
    // A file left at the path from before must not pass for this pull's.
    ::unlink(localPath);
  }
  return rc;
}

}  // namespace tlx
