// What the command families share with the exchange (exchange.cpp) and the
// links (port/): the link value, the one deadline of every wait loop, the
// command's cancel state, the protocol bytes and time limits, the steps
// every command is built from, and the last-error text.
#ifndef TLX_CORE_TLX_INTERNAL_H
#define TLX_CORE_TLX_INTERNAL_H

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <chrono>

#include "tlxdev.h"
#include "trace/wire_bytes.h"

namespace tlx {

// ---- The link -------------------------------------------------------------

// The link parameters every TLX_ function starts with.
struct Link {
  int port;  // 0 USB, n >= 1 serial port n
  char bp;   // channel letter of a port-sharing unit ('A', 'B', 'C', 'K'), else none
  int baud;  // serial only

  bool IsUsb() const { return port == 0; }
  bool IsSerial() const { return port > 0; }
  // The channel selector goes out after a serial open.
  bool SelectsChannel() const { return bp == 'A' || bp == 'B' || bp == 'C' || bp == 'K'; }
  // The channel reset goes out before a serial close ('9' suppresses it).
  bool ResetsChannel() const { return port > 0 && bp != '9'; }
};

// The USB identities tried, in this order, when port 0 is opened.
struct UsbIdentity {
  unsigned long vendorId;
  unsigned long productId;
};
constexpr int kUsbIdentityCount = 3;
constexpr UsbIdentity kUsbIdentities[kUsbIdentityCount] = {
    {0x2FB0, 0x0101}, {0x2FB0, 0x0102}, {0x0483, 0x5750}};

// ---- Time -----------------------------------------------------------------

// Time limit of a wait loop (reads, flushes, transfers). The monotonic
// clock is read in whole seconds: a limit of T ms ends once more than T/1000
// whole seconds have passed, so 1000 ms ends after 1 to 2 s and anything
// under 1000 ms after 0 to 1 s. Wall-clock jumps neither cut nor stretch it.
class Deadline {
 public:
  explicit Deadline(unsigned long ms) : start_(NowSeconds()), seconds_(ms / 1000) {}
  bool Passed() const { return static_cast<unsigned long>(NowSeconds() - start_) > seconds_; }

  static long NowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long>(ts.tv_sec);
  }

 private:
  long start_;
  unsigned long seconds_;
};

// Caller timeouts are seconds; the exchanges take milliseconds.
inline int SecondsToMs(int seconds) { return seconds * 1000; }

// ---- Cancel ---------------------------------------------------------------

// State of the command that holds the interface, in one word so that the
// guard, the cancel and the end of the cancellable part never disagree:
// the command's number (never reused) times kPhases plus its phase. 0: none.
enum : unsigned long long { kRunning = 1, kCancelled = 2, kFinished = 3, kPhases = 4 };

// The cancel state of the running command as a wait loop sees it. Unlike a
// port's own cancel flag, which every read clears at its start, it lasts as
// long as the command, so a cancel that comes before a read, or between two
// reads, still ends the next one.
class CancelToken {
 public:
  explicit CancelToken(const std::atomic<unsigned long long>* state = nullptr) : state_(state) {}
  bool Requested() const { return state_ != nullptr && state_->load() % kPhases == kCancelled; }

 private:
  const std::atomic<unsigned long long>* state_;
};

// The token of whatever command runs in this process (none: never set).
CancelToken CommandCancel();

// ---- Protocol -------------------------------------------------------------

// Ends a read when the response is complete: (bytes so far, count) -> done.
typedef bool (*EndCondition)(const char* data, int count);

inline bool LastByteIs(const char* data, int count, unsigned char value) {
  return data != nullptr && count >= 1 && static_cast<unsigned char>(data[count - 1]) == value;
}
inline bool EndAtEtx(const char* data, int count) { return LastByteIs(data, count, wire::kEtx); }
inline bool EndAtCr(const char* data, int count) { return LastByteIs(data, count, 0x0D); }
inline bool EndAtF(const char* data, int count) { return LastByteIs(data, count, 'F'); }
inline bool EndAtAny(const char* data, int count) { return data != nullptr && count >= 1; }
// The transfers' packet answers: ETX too, named apart in the trace's records.
inline bool EndOfPacketAnswer(const char* data, int count) {
  return LastByteIs(data, count, wire::kEtx);
}

// The protocol bytes (trace/wire_bytes.h, shared with the trace codec).
using wire::kAck;
using wire::kChannelReset;
using wire::kChannelSelector;
using wire::kEsc;
using wire::kEtx;
using wire::kRefusal;
using wire::kRefusedMark;
using wire::kStx;
constexpr char kKeyAck[] = {static_cast<char>(wire::kKeyAck), 0};  // as a reply text

// Module close (or clear) commands, write only.
constexpr char kCloseScreen[] = "\x1b[2C";  // information and signature screen
constexpr char kCloseEvaluator[] = "\x1b[4C";
constexpr char kCloseKeypad[] = "\x1b[5C";

// Single control bytes of the PIN entry, as the bytes sent.
constexpr char kPinStartFirstAsk = static_cast<char>(wire::kPinStartFirstAsk);
constexpr char kPinStartAskAgain = static_cast<char>(wire::kPinStartAskAgain);
constexpr char kPinEnd = static_cast<char>(wire::kPinEnd);

// Size of the command and reply work buffers.
enum { kWorkSize = 4096 };

// Time limits of the exchanges, in milliseconds.
enum {
  kReplyMs = 2000,         // a command answered by a framed reply or a key ack
  kWriteOnlyMs = 2000,     // a command whose reply is not read
  kProbeMs = 1000,         // each probe of the online check
  kAnswerMarginMs = 2000,  // added to the customer's timeout for status answers
  kPullFirstDataMs = 3000  // first data of a signature file pull
};

inline bool IsAck(const char* reply) { return strcmp(reply, kAck) == 0; }
inline bool IsRefusal(const char* reply) { return strcmp(reply, kRefusal) == 0; }
inline bool IsKeyAck(const char* reply) { return strcmp(reply, kKeyAck) == 0; }

// Overwrites n bytes in a way the compiler cannot drop; for key and PIN
// material held in the library's own buffers.
inline void SecureWipe(void* p, unsigned long n) {
  if (p != nullptr && n != 0) explicit_bzero(p, n);
}

// STX ... ETX with a second byte other than 'U': TLX_OK; no data:
// TLX_ERR_TIMEOUT; else TLX_ERR_REPLY.
int CheckFramedReply(const char* buf, int len);
// head, HexAsc1(tag + data), tail: tag 0x10 with <= 8 data bytes or 0x20
// with > 8; copies the data to out and its count to outLen. Else
// TLX_ERR_REPLY.
int CheckTaggedReply(char head, char tail, char* buf, int len, char* out, int* outLen);

// ---- The command ----------------------------------------------------------

// Held by every TLX_ command from its first line to its return. It takes
// the guard that keeps two commands of the interface apart and makes the
// command the one TLX_CancelRead reaches, from its argument checks on; a
// command that finds another one running is Busy(), and Start() then
// refuses it (TLX_ERR_OPEN) after its own argument checks.
//
// A cancel is kept for the whole command: from then on Exchange and
// SendOnly give TLX_ERR_CANCEL without sending, a read or flush under way
// ends at once, and only the closing steps (SendClosing) still go out.
// Finish(rc) ends the part of the command a cancel can reach: it gives
// TLX_ERR_CANCEL when one came, and from then on TLX_CancelRead answers
// TLX_ERR_REPLY. Commands write their outputs only after Finish, so a
// cancelled command leaves them untouched.
class Command {
 public:
  Command();
  ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;
  bool Busy() const { return id_ == 0; }
  // Opening step after the argument checks: false when another command runs
  // or another process holds the link (nothing is touched); otherwise holds
  // the link of heldPort (-1: link's port) for the whole command, flushes
  // the link (the flush's result is not looked at) and gives true.
  bool Start(const Link& link, int heldPort = -1);
  // rc, or TLX_ERR_CANCEL when a cancel reached this command.
  int Finish(int rc);

 private:
  unsigned long long id_;  // 0 when another command holds the guard
};

// The work of TLX_CancelRead: TLX_OK when a command is running and has not
// finished (it then returns TLX_ERR_CANCEL), else TLX_ERR_REPLY. A cancel
// never reaches a command that starts after it.
int CancelCommand();
// True when the running command has been cancelled.
bool Cancelled();

// ---- The exchange (exchange.cpp) ------------------------------------------

// One exchange with a reply: sends cmd (cmdLen bytes; 0 = up to its NUL),
// then reads until `until` holds or timeoutMs passes. The cap bytes of reply
// are zeroed first and at most cap - 1 are read, so the reply is always
// NUL-terminated; *len (may be null) receives the count on success. The
// transaction code is the result; a cancelled command sends nothing and
// gets TLX_ERR_CANCEL.
int Exchange(const Link& link, const char* cmd, int cmdLen, char* reply, int cap, int* len,
             EndCondition until, int timeoutMs);
// Sends cmd (cmdLen bytes; 0 = up to its NUL) without reading a reply,
// within kWriteOnlyMs. A cancelled command sends nothing: TLX_ERR_CANCEL.
int SendOnly(const Link& link, const char* cmd, int cmdLen = 0);
// SendOnly for a command's closing step (0x83 after a PIN entry, a module
// close): sent also after a cancel, so the terminal never stays waiting.
int SendClosing(const Link& link, const char* cmd, int cmdLen = 0);

// One exchange: open, write cmd (cmdLen bytes; 0 = up to its NUL), read
// into reply until `until` holds or the limit passes, close. replyLen: in =
// capacity of reply, out = bytes received (written only on success). A null
// reply makes it write-only. cmd must not be null, cmdLen not negative.
int Transact(const Link& link, const char* cmd, int cmdLen, char* reply, int* replyLen,
             EndCondition until, int timeoutMs);

// Holds the link of port for one command, across all its exchanges, so
// that no other process can come between them: a serial port by an
// exclusive flock on the device, the USB terminal by keeping its interface
// claimed (the exchanges then share that handle). TLX_ERR_OPEN when
// another process holds it; TLX_OK otherwise, also when the link does not
// open (nothing is held; the exchanges report that).
int HoldLink(int port);
// Lets the held link go (closes a held USB handle).
void ReleaseLink();

// The steps of an exchange, for the transfers that hold the link open
// across several writes and reads (the serial block download, the pull).
int OpenLink(const Link& link);
void CloseLink(const Link& link);
bool LinkOpen();
// TLX_OK or TLX_ERR_WRITE; length 0 means up to the NUL.
int WriteRaw(const char* data, int length);
// Received count, or a negative port-layer result (see port/port.h).
int ReadRaw(char* buf, int capacity, EndCondition until, int timeoutMs);
// Ends a raw read under way.
void CancelRaw();
// Opens, discards what is waiting, closes.
int FlushLink(const Link& link);
// Size of a USB report: reads of a pull take whole reports.
enum { kReportSize = 1024 };

// Result code of a port-layer read result: a count gives TLX_OK, a timeout
// or a device gone timeoutCode, a cancel TLX_ERR_CANCEL, any other failure
// TLX_ERR_READ. Exchanges pass TLX_ERR_TIMEOUT; steps where running out of
// time is a failed read (a transfer's acknowledgement or first data) pass
// TLX_ERR_READ.
int PortReadCode(int portResult, int timeoutCode = TLX_ERR_TIMEOUT);

// ---- The wire trace of the exchanges (trace/wire_trace.cpp) ---------------
// Off, every recorder below does nothing beyond one relaxed atomic load;
// trace/wire_trace.h says what a record holds and how the trace is set.

extern std::atomic<bool> g_wireTraceOn;

inline bool WireTraceOn() { return g_wireTraceOn.load(std::memory_order_relaxed); }

// The link that the exchange has just opened, with its serial device name
// ("?" for none) and the index of the USB identity that opened (-1 for
// serial). Only called while tracing.
void WireTraceNoteOpen(const Link& link, const char* dev, int identity);

// One exchange. Constructed before the open, with the serial device name of
// the link (used only while tracing); when tracing is off every member does
// nothing.
class TracedExchange {
 public:
  TracedExchange(const Link& link, const char* dev, const char* cmd, int cmdLen, EndCondition until,
                 int timeoutMs)
      : on_(WireTraceOn()), until_(until) {
    if (on_) Begin(link, dev, cmd, cmdLen, timeoutMs);
  }
  TracedExchange(const TracedExchange&) = delete;
  TracedExchange& operator=(const TracedExchange&) = delete;

  // The end condition to read with: `until` itself when tracing is off, else
  // a stand-in that notes how many bytes have come and asks `until`.
  EndCondition Condition() { return on_ ? Watch() : until_; }
  // After the write: whether it went out in full.
  void Written(bool complete) {
    if (on_) written_ = complete ? 1 : 0;
  }
  // After the read: the port layer's result (a count or a negative code).
  void Read(const char* reply, int portResult) {
    if (on_) Note(reply, portResult);
  }
  // Writes the record and gives back the result.
  int Done(int result) {
    if (on_) Write(result);
    return result;
  }

 private:
  void Begin(const Link& link, const char* dev, const char* cmd, int cmdLen, int timeoutMs);
  EndCondition Watch();
  void Note(const char* reply, int portResult);
  void Write(int result);

  bool on_;
  Link link_ = Link{0, 0, 0};
  const char* dev_ = "";
  const char* cmd_ = nullptr;
  int cmdLen_ = 0;
  EndCondition until_;
  int timeoutMs_ = 0;
  int written_ = -1;  // -1 not tried (open failed), 0 short, 1 in full
  const char* reply_ = nullptr;
  int portResult_ = 0;
  bool readTried_ = false;
  std::chrono::steady_clock::time_point start_;
};

// Raw steps on a port held open (the serial block download, the pull).
void WireTraceRawWrite(const char* data, int len, int result);
// Before a raw read of a pull: whether the report starts a packet (its
// header is recorded) or continues one (only its length is).
void WireTracePullRead(bool packetHead);
// One raw read on a port held open: the read is made with Condition() in
// place of `until`, and Done records it and gives back the port layer's
// result. Only used while tracing.
class TracedRawRead {
 public:
  TracedRawRead(EndCondition until, int timeoutMs);
  TracedRawRead(const TracedRawRead&) = delete;
  TracedRawRead& operator=(const TracedRawRead&) = delete;
  EndCondition Condition() const;
  int Done(const char* buf, int portResult);

 private:
  EndCondition until_;
  int timeoutMs_;
  std::chrono::steady_clock::time_point start_;
};

// ---- Last error -----------------------------------------------------------

// The system-level cause of the calling thread's last failure, as a text
// for TLX_LastErrorText: the device, the errno or libusb error name and,
// for the common cases, what to do about it. Set where the links meet the
// system; cleared when a command starts and when a link opens.
void ClearLastError();
// Replaces the text (printf format; cut to the buffer).
void SetLastError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
bool HasLastError();
// The link opened last ("/dev/ttyS0", "USB 2fb0:0101"), named in the texts
// of failures that come after the open.
void NoteLink(const char* name);

// Formats a command into buf; false when the text does not fit (buf is
// then cleared, and nothing is sent).
__attribute__((format(printf, 3, 4))) inline bool Format(char* buf, int cap, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int n = vsnprintf(buf, static_cast<size_t>(cap), fmt, args);
  va_end(args);
  if (n >= 0 && n < cap) return true;
  memset(buf, 0, static_cast<size_t>(cap));
  return false;
}

}  // namespace tlx

#endif
