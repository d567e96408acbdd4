#include "trace_reader.h"

#include <cctype>
#include <cstdlib>

namespace tlxctl {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "key=value key=value ...": the words of a record line after its verb.
void Words(const std::string& text, std::string* first, std::map<std::string, std::string>* out) {
  size_t pos = 0;
  bool gotFirst = false;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    size_t end = text.find(' ', pos);
    if (text[pos] == '(') end = text.find(')', pos) == std::string::npos ? text.size() : text.find(')', pos) + 1;
    const std::string word = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end;
    const size_t eq = word.find('=');
    if (eq != std::string::npos) {
      (*out)[word.substr(0, eq)] = word.substr(eq + 1);
    } else if (!gotFirst && first != nullptr) {
      *first = word;
      gotFirst = true;
    }
  }
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

bool ParseTraceLine(const std::string& raw, TraceLine* out) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() < 15) return false;
  for (int i = 0; i < 13; ++i)
    if (!std::isdigit(static_cast<unsigned char>(line[static_cast<size_t>(i)]))) return false;
  if (line.compare(13, 2, "  ") != 0) return false;
  *out = TraceLine();
  out->stamp = line.substr(0, 13);
  const std::string rest = line.substr(15);
  // Hex dump: [TITLE  ]LEN=n   HEX: digits
  size_t len = rest.find("LEN=");
  const size_t hex = rest.find("   HEX: ");
  if (len != std::string::npos && hex != std::string::npos && hex > len &&
      (len == 0 || (len >= 2 && rest.compare(len - 2, 2, "  ") == 0))) {
    const std::string digits = rest.substr(hex + 8);
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
      out->declaredLength = std::atoi(rest.c_str() + len + 4);
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
  TraceRecord* open = nullptr;
  while (std::getline(in, raw)) {
    if (raw.empty() || raw == "\r") continue;
    TraceLine line;
    if (!ParseTraceLine(raw, &line)) {
      ++*bad;
      continue;
    }
    if (!line.hex && (StartsWith(line.text, "TLX exchange ") || StartsWith(line.text, "TLX write ") ||
                      StartsWith(line.text, "TLX read "))) {
      TraceRecord r;
      r.stamp = line.stamp;
      const size_t verbEnd = line.text.find(' ', 4);
      r.kind = line.text.substr(4, verbEnd - 4);
      Words(line.text.substr(verbEnd + 1), &r.linkKind, &r.fields);
      out.push_back(r);
      open = &out.back();
      continue;
    }
    if (open != nullptr && line.hex) {
      TracePart* part = nullptr;
      if (line.title == "TX" || line.title == "TX-SHORT" || line.title == "UNSENT") part = &open->tx;
      if (line.title == "RX" || line.title == "RX-PART") part = &open->rx;
      if (part != nullptr && !part->present) {
        part->present = true;
        part->title = line.title;
        part->bytes = line.bytes;
        continue;
      }
    }
    if (open != nullptr && !line.hex && StartsWith(line.text, "TLX end=")) {
      open->ended = true;
      Words(line.text.substr(4), nullptr, &open->end);
      open = nullptr;
      continue;
    }
    open = nullptr;
    TraceRecord note;
    note.stamp = line.stamp;
    note.kind = "note";
    note.line = line;
    out.push_back(note);
  }
  return out;
}

}  // namespace tlxctl
