// The line formats of the trace files, shared by the writers for
// applications (debug.ini) and the wire trace of the exchanges, and the
// reader that takes them apart again (tlxctl trace): a 13-digit local time
// stamp (MMDDhhmmssmmm) and two spaces start every line, CR LF ends it. A
// line is a message or a hex dump:
//   stamp "  " text CR LF
//   stamp "  " [title "  "] "LEN=" n "   HEX: " two upper-case digits a byte CR LF
// The wire trace groups lines into records, one per exchange or raw step:
//   TLX exchange|write|read <link> key=value ...   (a message)
//   TX|TX-SHORT|UNSENT  LEN=...                      (what was written)
//   RX|RX-PART  LEN=...                              (what was read)
//   TLX end=<outcome> key=value ...                  (a message)
#ifndef TLX_TRACE_LINES_H
#define TLX_TRACE_LINES_H

#include <cstdio>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace tlx {

namespace trace {
// The words of a line.
constexpr int kStampDigits = 13;
constexpr char kStampGap[] = "  ";  // after the stamp, and after a title
constexpr char kLenWord[] = "LEN=";
constexpr char kHexWord[] = "   HEX: ";
// The words of the record lines.
constexpr char kRecordPrefix[] = "TLX ";
constexpr char kEndPrefix[] = "TLX end=";
constexpr char kExchange[] = "exchange";
constexpr char kWrite[] = "write";
constexpr char kRead[] = "read";
// The reader's kind for a line that belongs to no record.
constexpr char kNote[] = "note";
// Titles of the hex dumps of a record.
constexpr char kTx[] = "TX";
constexpr char kTxShort[] = "TX-SHORT";
constexpr char kUnsent[] = "UNSENT";
constexpr char kRx[] = "RX";
constexpr char kRxPart[] = "RX-PART";
}  // namespace trace

// ---- Writing ----
// Stamp, text, CR LF.
void WriteTraceMessage(std::FILE* f, const char* text);
// Stamp, "TITLE  LEN=n   HEX: " (or "LEN=n   HEX: " without a title), every
// byte as two upper-case hex digits, CR LF.
void WriteTraceHex(std::FILE* f, const char* title, const char* data, int len);

// ---- Reading (trace_reader.cpp) ----
struct TraceLine {
  std::string stamp;  // 13 digits MMDDhhmmssmmm
  bool hex = false;
  std::string title;  // hex dumps: the title (may be empty)
  std::string text;   // messages: the text
  std::string bytes;  // hex dumps: the bytes
  int declaredLength = 0;
};

// One line without its LF (a final CR is dropped); false when it is no
// trace line.
bool ParseTraceLine(const std::string& line, TraceLine* out);

struct TracePart {
  bool present = false;
  std::string title;  // TX, TX-SHORT, UNSENT, RX, RX-PART
  std::string bytes;
};

struct TraceRecord {
  std::string stamp;
  std::string kind;                           // exchange, write, read; kNote for any other line
  std::string linkKind;                       // serial, usb, none, port
  std::map<std::string, std::string> fields;  // port, dev, bp, baud, id, until, limit, ...
  TracePart tx, rx;
  bool ended = false;
  std::map<std::string, std::string> end;  // end, result, time, masked, count
  TraceLine line;                          // notes: the line itself
};

// Every record and note of a trace, in file order; *bad counts lines that
// are no trace lines at all.
std::vector<TraceRecord> ReadTrace(std::istream& in, int* bad);

}  // namespace tlx

#endif
