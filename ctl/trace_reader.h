// Reading a trace file back: its lines (stamp, message or hex dump) and the
// records the wire trace writes, one per exchange or raw step.
#ifndef TLXCTL_TRACE_READER_H
#define TLXCTL_TRACE_READER_H

#include <istream>
#include <map>
#include <string>
#include <vector>

namespace tlxctl {

struct TraceLine {
  std::string stamp;  // 13 digits MMDDhhmmssmmm
  bool hex = false;
  std::string title;  // hex dumps: the title (may be empty)
  std::string text;   // messages: the text
  std::string bytes;  // hex dumps: the bytes
  int declaredLength = 0;
};

// One line without its CR LF; false when it is no trace line.
bool ParseTraceLine(const std::string& line, TraceLine* out);

struct TracePart {
  bool present = false;
  std::string title;  // TX, TX-SHORT, UNSENT, RX, RX-PART
  std::string bytes;
};

struct TraceRecord {
  std::string stamp;
  std::string kind;  // exchange, write, read; "note" for any other line
  std::string linkKind;  // serial, usb, none, port
  std::map<std::string, std::string> fields;  // port, dev, bp, baud, id, until, limit, ...
  TracePart tx, rx;
  bool ended = false;
  std::map<std::string, std::string> end;  // end, result, time, masked, count
  TraceLine line;  // notes: the line itself
};

// Every record and note of a trace, in file order; *bad counts lines that
// are no trace lines at all.
std::vector<TraceRecord> ReadTrace(std::istream& in, int* bad);

}  // namespace tlxctl

#endif
