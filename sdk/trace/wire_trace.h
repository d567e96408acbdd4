// Wire trace: every exchange with the terminal appended to a trace file, in
// the line formats of trace_lines.h, when it is switched on:
//   - by the environment variable TLX_TRACE naming a file (read when the
//     library is loaded; it wins over the setters), or
//   - by SetDebugFlag with a non-zero flag, into the path of SetDebugPath
//     (debug.log in the working directory when none is set).
// One record per exchange:
//   TLX exchange serial port=1 dev=/dev/ttyS0 bp=B baud=9600 until=ETX limit=2000ms
//   TX  LEN=11   HEX: 1B5B30434845434B523430
//   RX  LEN=3   HEX: 02AA03
//   TLX end=met result=0 (success) time=1.234ms
// limit= is the time limit the read was given, in ms; the read counts whole
// seconds of the monotonic clock and ends once more than limit/1000 whole
// seconds have passed (limit=2000ms: after 2 to 3 s).
// Raw steps of the transfers that hold the port open are records of their
// own ("TLX write ...", "TLX read ..."). Key material, PINs, PIN blocks and
// account numbers, keypad entries and the payload of pulled files are
// replaced by '*' bytes before anything is written; the frame and the
// lengths stay as they were. The file is only written when it is the
// user's own and private (see OpenPrivateAppend). The library's load and
// unload hooks write their line ("test_init/n", "test_fini/n") here.
//
// Off, the exchange path pays one relaxed atomic load.
#ifndef TLX_WIRE_TRACE_H
#define TLX_WIRE_TRACE_H

#include <stdarg.h>

#include <atomic>
#include <chrono>

#include "core/tlx_internal.h"

namespace tlx {

extern std::atomic<bool> g_wireTraceOn;

inline bool WireTraceOn() { return g_wireTraceOn.load(std::memory_order_relaxed); }

// From the setters of the public trace interface.
void WireTraceSetFlag(int flag);
void WireTraceSetPath(const char* path);

// The trace interface for applications (trace.cpp): the flag and path
// setters, and the message and hex dump lines appended to debug.ini.
void SetTraceFlag(int flag);
void SetTracePath(const char* path);
void AppendTraceMessage(const char* fmt, va_list args);
void AppendTraceHex(const char* title, const char* data, int len);

// The link that the exchange has just opened, with its serial device name
// ("?" for none) and the index of the USB identity that opened (-1 for
// serial). Only called while tracing.
void WireTraceNoteOpen(const Link& link, const char* dev, int identity);

// One exchange. Constructed before the open, with the serial device name of
// the link (used only while tracing); when tracing is off every member does
// nothing.
class TracedExchange {
 public:
  TracedExchange(const Link& link, const char* dev, const char* cmd, int cmdLen,
                 EndCondition until, int timeoutMs)
      : on_(WireTraceOn()), until_(until) {
    if (on_) Begin(link, dev, cmd, cmdLen, timeoutMs);
  }
  TracedExchange(const TracedExchange&) = delete;
  TracedExchange& operator=(const TracedExchange&) = delete;

  // The end condition to read with: `until` itself when tracing is off, else
  // a stand-in that notes how many bytes have come and asks `until`.
  EndCondition Condition() {
    return on_ ? Watch() : until_;
  }
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
  int written_ = -1;        // -1 not tried (open failed), 0 short, 1 in full
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

}  // namespace tlx

#endif
