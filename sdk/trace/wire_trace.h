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
// Off, the exchange path pays one relaxed atomic load. The recorders the
// exchange and the transfers use (TracedExchange, TracedRawRead) are
// declared with the exchange in core/tlx_internal.h; this header has the
// setters.
#ifndef TLX_WIRE_TRACE_H
#define TLX_WIRE_TRACE_H

#include <stdarg.h>

#include "core/tlx_internal.h"

namespace tlx {

// From the setters of the public trace interface.
void WireTraceSetFlag(int flag);
void WireTraceSetPath(const char* path);

// The trace interface for applications (trace.cpp): the flag and path
// setters, and the message and hex dump lines appended to debug.ini.
void SetTraceFlag(int flag);
void SetTracePath(const char* path);
void AppendTraceMessage(const char* fmt, va_list args);
void AppendTraceHex(const char* title, const char* data, int len);

}  // namespace tlx

#endif
