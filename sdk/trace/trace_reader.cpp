// Reading a trace file back: its lines and the records of the wire trace.
#include "trace/trace_lines.h"

#include <cstdlib>

namespace tlx {

namespace {

using trace::kHexWord;
using trace::kLenWord;
using trace::kStampDigits;
using trace::kStampGap;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// "key=value key=value ...": the words of a record line after its verb. A
// word that opens a parenthesis runs to the closing one; the first word
// without '=' goes to *first.
void Words(const std::string& text, std::string* first, std::map<std::string, std::string>* out) {
  size_t pos = 0;
  bool gotFirst = false;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    size_t end = text.find(' ', pos);
    if (text[pos] == '(') {
      const size_t close = text.find(')', pos);
      end = close == std::string::npos ? text.size() : close + 1;
    }
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(pos, end - pos);
    pos = end;
    const size_t eq = word.find('=');
    if (eq != std::string::npos) {
      (*out)[word.substr(0, eq)] = word.substr(eq + 1);
    } else if (!gotFirst && first != nullptr) {
      *first = word;
      gotFirst = true;
    }
  }
}

bool IsRecordHead(const TraceLine& line) {
  if (line.hex || !StartsWith(line.text, trace::kRecordPrefix)) return false;
  const std::string verb = line.text.substr(std::char_traits<char>::length(trace::kRecordPrefix));
  for (const char* v : {trace::kExchange, trace::kWrite, trace::kRead})
    if (StartsWith(verb, v) && verb.size() > std::char_traits<char>::length(v) &&
        verb[std::char_traits<char>::length(v)] == ' ')
      return true;
  return false;
}

// The part of a record that a hex dump with this title fills, or null.
TracePart* PartFor(TraceRecord* r, const std::string& title) {
  if (title == trace::kTx || title == trace::kTxShort || title == trace::kUnsent) return &r->tx;
  if (title == trace::kRx || title == trace::kRxPart) return &r->rx;
  return nullptr;
}

}  // namespace

bool ParseTraceLine(const std::string& raw, TraceLine* out) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t textAt = kStampDigits + 2;
  if (line.size() < textAt) return false;
  for (int i = 0; i < kStampDigits; ++i)
    if (!IsDigit(line[static_cast<size_t>(i)])) return false;
  if (line.compare(kStampDigits, 2, kStampGap) != 0) return false;
  *out = TraceLine();
  out->stamp = line.substr(0, kStampDigits);
  const std::string rest = line.substr(textAt);
  // Hex dump: [TITLE  ]LEN=n   HEX: digits
  const size_t len = rest.find(kLenWord);
  const size_t hex = rest.find(kHexWord);
  if (len != std::string::npos && hex != std::string::npos && hex > len &&
      (len == 0 || (len >= 2 && rest.compare(len - 2, 2, kStampGap) == 0))) {
    const std::string digits = rest.substr(hex + std::char_traits<char>::length(kHexWord));
    bool ok = digits.size() % 2 == 0;
    std::string bytes;
    for (size_t i = 0; ok && i < digits.size(); i += 2) {
      const int hi = HexValue(digits[i]), lo = HexValue(digits[i + 1]);
      ok = hi >= 0 && lo >= 0;
      if (ok) bytes += static_cast<char>((hi << 4) | lo);
    }
    if (ok) {
      out->hex = true;
      out->title = len == 0 ? std::string() : rest.substr(0, len - 2);
      out->declaredLength =
          std::atoi(rest.c_str() + len + std::char_traits<char>::length(kLenWord));
      out->bytes = bytes;
      return true;
    }
  }
  out->text = rest;
  return true;
}

std::vector<TraceRecord> ReadTrace(std::istream& in, int* bad) {
  std::vector<TraceRecord> out;
  *bad = 0;
  std::string raw;
  // Index of the record still taking lines, or -1.
  long open = -1;
  const size_t prefixLen = std::char_traits<char>::length(trace::kRecordPrefix);
  while (std::getline(in, raw)) {
    if (raw.empty() || raw == "\r") continue;
    TraceLine line;
    if (!ParseTraceLine(raw, &line)) {
      ++*bad;
      continue;
    }
    if (IsRecordHead(line)) {
      TraceRecord r;
      r.stamp = line.stamp;
      const size_t verbEnd = line.text.find(' ', prefixLen);
      r.kind = line.text.substr(prefixLen, verbEnd - prefixLen);
      Words(line.text.substr(verbEnd + 1), &r.linkKind, &r.fields);
      out.push_back(r);
      open = static_cast<long>(out.size()) - 1;
      continue;
    }
    if (open >= 0 && line.hex) {
      TracePart* part = PartFor(&out[static_cast<size_t>(open)], line.title);
      if (part != nullptr && !part->present) {
        part->present = true;
        part->title = line.title;
        part->bytes = line.bytes;
        continue;
      }
    }
    if (open >= 0 && !line.hex && StartsWith(line.text, trace::kEndPrefix)) {
      TraceRecord& r = out[static_cast<size_t>(open)];
      r.ended = true;
      Words(line.text.substr(prefixLen), nullptr, &r.end);
      open = -1;
      continue;
    }
    open = -1;
    TraceRecord note;
    note.stamp = line.stamp;
    note.kind = trace::kNote;
    note.line = line;
    out.push_back(note);
  }
  return out;
}

}  // namespace tlx
