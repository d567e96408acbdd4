// The line formats of the trace files, shared by the writers for
// applications (debug.ini) and the wire trace of the exchanges: a 13-digit
// local time stamp (MMDDhhmmssmmm) and two spaces start every line, CR LF
// ends it.
#ifndef TLX_TRACE_LINES_H
#define TLX_TRACE_LINES_H

#include <cstdio>

namespace tlx {

// Stamp, text, CR LF.
void WriteTraceMessage(std::FILE* f, const char* text);
// Stamp, "TITLE  LEN=n   HEX: " (or "LEN=n   HEX: " without a title), every
// byte as two upper-case hex digits, CR LF.
void WriteTraceHex(std::FILE* f, const char* title, const char* data, int len);

}  // namespace tlx

#endif
