#include "WireText.h"

#include <cstdio>
#include <cstdlib>

#include "HexAsc1.h"

namespace tlxsim {

std::string Printable(const std::string& bytes, size_t max) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (out.size() >= max) {
      out += "... (" + std::to_string(bytes.size()) + " bytes)";
      break;
    }
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    switch (b) {
      case 0x1B:
        out += "<ESC>";
        break;
      case 0x02:
        out += "<STX>";
        break;
      case 0x03:
        out += "<ETX>";
        break;
      case '\r':
        out += "<CR>";
        break;
      case '\n':
        out += "<LF>";
        break;
      default:
        if (b >= 0x20 && b < 0x7F && b != '\\') {
          out.push_back(static_cast<char>(b));
        } else {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", b);
          out += buf;
        }
    }
  }
  return out;
}

std::vector<std::string> SplitFields(const std::string& fields) {
  std::vector<std::string> r;
  size_t start = 0;
  for (;;) {
    size_t bar = fields.find('|', start);
    if (bar == std::string::npos) {
      r.push_back(fields.substr(start));
      return r;
    }
    r.push_back(fields.substr(start, bar - start));
    start = bar + 1;
  }
}

bool ParseInt(const std::string& text, long* value) {
  if (text.empty() || text.size() > 12) return false;
  size_t i = (text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  *value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

static std::string IndexText(const std::string& payload, size_t count) {
  std::string bytes;
  std::string head = payload.substr(0, count * 2);
  if (!HexAsc1Decode(head, &bytes)) return "?";
  std::string r;
  for (unsigned char b : bytes) r += (r.empty() ? "" : " ") + std::to_string(b);
  return r;
}

std::string DescribeCommand(const ParsedCommand& c) {
  using K = ParsedCommand::Kind;
  switch (c.kind) {
    case K::Control:
      return c.code == 0x83
                 ? "PIN entry end (0x83)"
                 : std::string("PIN entry start (0x") + (c.code == 0x82 ? "82" : "81") + ")";
    case K::Channel:
      return std::string("channel ") + static_cast<char>(c.code);
    case K::Packet:
      return "packet type " + std::to_string(c.packetType) + ", " +
             (c.packetTooLong ? std::string("length over the limit")
                              : std::to_string(c.payload.size()) + " payload bytes");
    case K::Line: {
      const std::string& p = c.fields;
      switch (c.keyword[0]) {
        case 'M':
          return "M " + IndexText(p, 1) + " ****";
        case 'S':
          return "S " + IndexText(p, 2) + " ****";
        case 'A':
          return "A " + IndexText(p, 2);
        case 'R':
          return "R (reset keys)";
        case 'I': {
          std::string acc = p.size() > 2 ? p.substr(2) : std::string();
          std::string shown =
              acc.size() > 4 ? std::string(acc.size() - 4, '*') + acc.substr(acc.size() - 4) : acc;
          return "I " + p.substr(0, 2) + " account " + shown;
        }
        default:
          return c.keyword + " " + Printable(p, 40);
      }
    }
    case K::Module:
      return Printable(c.raw);
    case K::Noise:
      break;
  }
  return "noise " + Printable(c.raw, 40);
}

}  // namespace tlxsim
