// Wire trace of the exchanges: where it goes, and the records it writes.
#include "trace/wire_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "port/port.h"
#include "trace/trace_lines.h"
#include "trace/wire_mask.h"
#include "util/files.h"

namespace tlx {

std::atomic<bool> g_wireTraceOn{false};

namespace {

const char kDefaultTraceFile[] = "debug.log";

// Guards the paths and keeps the lines of one record together.
std::mutex g_mu;
std::string g_envPath;   // TLX_TRACE, read at load
std::string g_flagPath;  // SetDebugPath
int g_flag = 0;

void Recompute() { g_wireTraceOn.store(!g_envPath.empty() || g_flag != 0); }

struct EnvironmentAtLoad {
  EnvironmentAtLoad() {
    const char* path = std::getenv("TLX_TRACE");
    std::lock_guard<std::mutex> lock(g_mu);
    if (path != nullptr) g_envPath = path;
    Recompute();
  }
} g_environmentAtLoad;

// Whether the next raw read of a pull starts a packet.
thread_local bool t_pullPacketHead = true;

// The link the session layer opened last in this thread.
struct OpenLink {
  bool known = false;
  Link link = Link{0, 0, 0};
  char dev[256] = "";
  int identity = -1;
};
thread_local OpenLink t_link;
// What the reply to the last command written in this thread carries, for
// raw reads that follow a raw write.
thread_local ReplySecret t_lastSecret = ReplySecret::None;
// The end condition behind the stand-in of a traced read, and the count it
// last saw.
thread_local EndCondition t_until = nullptr;
thread_local int t_seen = 0;

bool SeenCondition(const char* data, int count) {
  t_seen = count;
  return t_until(data, count);
}

const char* ConditionName(EndCondition until) {
  if (until == nullptr) return "none";
  if (until == EndAtEtx) return "ETX";
  if (until == EndAtCr) return "CR";
  if (until == EndAtF) return "F";
  if (until == EndAtAny) return "any";
  if (until == EndOfPacketAnswer) return "ETX";
  return "custom";
}

std::string LetterText(char bp) {
  if (bp == 0) return "none";
  char buf[8];
  if (bp > 0x20 && bp < 0x7f)
    std::snprintf(buf, sizeof buf, "%c", bp);
  else
    std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned char>(bp));
  return buf;
}

std::string LinkText(const Link& link, const char* dev, int identity) {
  const int port = link.port;
  char buf[512];
  if (port == 0) {
    if (identity >= 0 && identity < kUsbIdentityCount)
      std::snprintf(buf, sizeof buf, "usb port=0 id=%04lx:%04lx", kUsbIdentities[identity].vendorId,
                    kUsbIdentities[identity].productId);
    else
      std::snprintf(buf, sizeof buf, "usb port=0");
    return buf;
  }
  if (port < 0) {
    std::snprintf(buf, sizeof buf, "none port=%d", port);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "serial port=%d dev=%s bp=%s baud=%d", port, dev,
                LetterText(link.bp).c_str(), link.baud);
  return buf;
}

// Link of a record: the one opened, else the one asked for.
std::string RecordLink(const Link& link, const char* dev) {
  if (t_link.known && t_link.link.port == link.port)
    return LinkText(t_link.link, t_link.dev, t_link.identity);
  return LinkText(link, dev, -1);
}

// Link of a raw step: the one opened last, else none known.
std::string RawLink() {
  return t_link.known ? LinkText(t_link.link, t_link.dev, t_link.identity) : "port";
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// How a read ended, from the port layer's result.
const char* ReadOutcome(EndCondition until, const char* reply, int portResult) {
  if (portResult >= 0) return until != nullptr && until(reply, portResult) ? "met" : "full";
  switch (portResult) {
    case kPortTimeout:
      return "timeout";
    case kPortCancelled:
      return "cancelled";
    default:
      return "read-failed";
  }
}

// The received bytes of a read: all of them on success, those the end
// condition saw before a timeout or cancel.
int ReceivedCount(int portResult, bool watched) {
  if (portResult >= 0) return portResult;
  return watched ? t_seen : 0;
}

void WriteReceived(std::FILE* f, int portResult, const std::string& bytes) {
  WriteTraceHex(f, portResult >= 0 ? trace::kRx : trace::kRxPart, bytes.data(),
                static_cast<int>(bytes.size()));
}

// Opens the trace file for one record; the caller holds g_mu. A new file is
// readable by its owner only; a symlink, a file of another user's or one
// that others may read gets no record.
std::FILE* OpenTraceFile() {
  const std::string& path =
      !g_envPath.empty() ? g_envPath : (!g_flagPath.empty() ? g_flagPath : std::string());
  const char* name = path.empty() ? kDefaultTraceFile : path.c_str();
  int fd = OpenPrivateAppend(name);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "a");
  if (f == nullptr) ::close(fd);
  return f;
}

void CloseTraceFile(std::FILE* f) {
  std::fflush(f);
  std::fclose(f);
}

std::string EndText(const char* outcome, int result, double ms, int masked) {
  char buf[256];
  int n = std::snprintf(buf, sizeof buf, "%s%s result=%d (%s)", trace::kEndPrefix, outcome, result,
                        TLX_StrError(result));
  std::string text(buf, n > 0 && n < static_cast<int>(sizeof buf) ? static_cast<size_t>(n) : 0);
  if (ms >= 0) {
    std::snprintf(buf, sizeof buf, " time=%.3fms", ms);
    text += buf;
  }
  if (masked > 0) {
    std::snprintf(buf, sizeof buf, " masked=%d", masked);
    text += buf;
  }
  return text;
}

// The library's load and unload hooks. They used to print their names on
// standard output, which is the data of many programs; the names now go to
// the wire trace, when it is on. Defined after the environment is read, so
// that the load hook sees TLX_TRACE, and destroyed before the paths.
void NoteHook(const char* text) {
  if (!WireTraceOn()) return;
  std::lock_guard<std::mutex> lock(g_mu);
  std::FILE* f = OpenTraceFile();
  if (f == nullptr) return;
  WriteTraceMessage(f, text);
  CloseTraceFile(f);
}

struct LoadHooks {
  LoadHooks() { NoteHook("test_init/n"); }
  ~LoadHooks() { NoteHook("test_fini/n"); }
} g_loadHooks;

}  // namespace

void WireTracePullRead(bool packetHead) { t_pullPacketHead = packetHead; }

void WireTraceSetFlag(int flag) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_flag = flag;
  Recompute();
}

void WireTraceSetPath(const char* path) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_flagPath = path != nullptr ? path : "";
}

void WireTraceNoteOpen(const Link& link, const char* dev, int identity) {
  t_link.known = true;
  t_link.link = link;
  std::snprintf(t_link.dev, sizeof t_link.dev, "%s", dev);
  t_link.identity = identity;
}

void TracedExchange::Begin(const Link& link, const char* dev, const char* cmd, int cmdLen,
                           int timeoutMs) {
  link_ = link;
  dev_ = dev;
  cmd_ = cmd;
  cmdLen_ = cmdLen;
  timeoutMs_ = timeoutMs;
  t_link.known = false;
  start_ = std::chrono::steady_clock::now();
}

EndCondition TracedExchange::Watch() {
  t_seen = 0;
  if (until_ == nullptr) return nullptr;
  t_until = until_;
  return SeenCondition;
}

void TracedExchange::Note(const char* reply, int portResult) {
  readTried_ = true;
  reply_ = reply;
  portResult_ = portResult;
}

void TracedExchange::Write(int result) {
  const double ms = MsSince(start_);
  int masked = 0;
  ReplySecret secret = ReplySecret::None;
  const std::string tx = MaskedCommand(cmd_, cmdLen_, &secret, &masked);
  t_lastSecret = secret;
  std::string rx;
  if (readTried_)
    rx = MaskedReply(secret, reply_, ReceivedCount(portResult_, until_ != nullptr), &masked);

  const char* outcome = written_ < 0    ? "not-opened"
                        : written_ == 0 ? "write-failed"
                        : !readTried_   ? "write-only"
                                        : ReadOutcome(until_, reply_, portResult_);
  char head[640];
  std::snprintf(head, sizeof head, "%s%s %s until=%s limit=%dms", trace::kRecordPrefix,
                trace::kExchange, RecordLink(link_, dev_).c_str(), ConditionName(until_),
                timeoutMs_);

  std::lock_guard<std::mutex> lock(g_mu);
  std::FILE* f = OpenTraceFile();
  if (f == nullptr) return;
  WriteTraceMessage(f, head);
  const char* txTitle = written_ < 0    ? trace::kUnsent
                        : written_ == 0 ? trace::kTxShort
                                        : trace::kTx;
  WriteTraceHex(f, txTitle, tx.data(), static_cast<int>(tx.size()));
  if (readTried_) WriteReceived(f, portResult_, rx);
  WriteTraceMessage(f, EndText(outcome, result, ms, masked).c_str());
  CloseTraceFile(f);
}

void WireTraceRawWrite(const char* data, int len, int result) {
  int masked = 0;
  ReplySecret secret = ReplySecret::None;
  const std::string tx = MaskedCommand(data, len, &secret, &masked);
  t_lastSecret = secret;
  const std::string link = RawLink();
  char head[640];
  std::snprintf(head, sizeof head, "%s%s %s", trace::kRecordPrefix, trace::kWrite, link.c_str());

  std::lock_guard<std::mutex> lock(g_mu);
  std::FILE* f = OpenTraceFile();
  if (f == nullptr) return;
  WriteTraceMessage(f, head);
  WriteTraceHex(f, result == TLX_OK ? trace::kTx : trace::kTxShort, tx.data(),
                static_cast<int>(tx.size()));
  WriteTraceMessage(
      f, EndText(result == TLX_OK ? "written" : "write-failed", result, -1.0, masked).c_str());
  CloseTraceFile(f);
}

TracedRawRead::TracedRawRead(EndCondition until, int timeoutMs)
    : until_(until), timeoutMs_(timeoutMs), start_(std::chrono::steady_clock::now()) {
  t_seen = 0;
  t_until = until;
}

EndCondition TracedRawRead::Condition() const {
  return until_ != nullptr ? SeenCondition : nullptr;
}

int TracedRawRead::Done(const char* buf, int n) {
  const EndCondition until = until_;
  const int timeoutMs = timeoutMs_;
  const double ms = MsSince(start_);

  int masked = 0;
  const std::string rx = buf != nullptr
                             ? MaskedReply(t_lastSecret, buf, ReceivedCount(n, until != nullptr),
                                           &masked, t_pullPacketHead)
                             : std::string();
  t_pullPacketHead = true;
  const std::string link = RawLink();
  char head[640];
  std::snprintf(head, sizeof head, "%s%s %s until=%s limit=%dms", trace::kRecordPrefix,
                trace::kRead, link.c_str(), ConditionName(until), timeoutMs);
  char end[160];
  std::snprintf(end, sizeof end, "%s%s count=%d time=%.3fms", trace::kEndPrefix,
                buf != nullptr ? ReadOutcome(until, buf, n) : "read-failed",
                static_cast<int>(rx.size()), ms);
  std::string endText = end;
  if (masked > 0) {
    std::snprintf(end, sizeof end, " masked=%d", masked);
    endText += end;
  }

  std::lock_guard<std::mutex> lock(g_mu);
  std::FILE* f = OpenTraceFile();
  if (f == nullptr) return n;
  WriteTraceMessage(f, head);
  WriteReceived(f, n, rx);
  WriteTraceMessage(f, endText.c_str());
  CloseTraceFile(f);
  return n;
}

}  // namespace tlx
