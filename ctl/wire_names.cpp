// Decoding of commands and replies for `tlxctl trace`.
#include "wire_names.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gbk_text.h"

namespace tlxctl {

namespace {

const char kEsc = 0x1b;
const char kStx = 0x02;
const char kEtx = 0x03;
const char kAck[] = "\x02\xaa\x03";
const char kRefusal[] = "\x02U\x03";
// The report size of the USB link: a pulled packet fills whole reports.
const long kReport = 1024;

std::string Num(long v) { return std::to_string(v); }

std::string Hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
  return buf;
}

// The text between the first STX and the last ETX, split at '|'.
std::vector<std::string> Fields(const std::string& b) {
  std::vector<std::string> out;
  const size_t stx = b.find(kStx);
  if (stx == std::string::npos) return out;
  size_t etx = b.rfind(kEtx);
  if (etx == std::string::npos || etx < stx) etx = b.size();
  const std::string body = b.substr(stx + 1, etx - stx - 1);
  size_t pos = 0;
  for (;;) {
    size_t bar = body.find('|', pos);
    out.push_back(body.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos));
    if (bar == std::string::npos) break;
    pos = bar + 1;
  }
  return out;
}

std::string Field(const std::vector<std::string>& f, size_t i) {
  return i < f.size() ? f[i] : std::string("?");
}

// The text of a framed reply (between STX and the final ETX), or the bytes.
std::string FrameText(const std::string& b) {
  if (b.size() >= 2 && b.front() == kStx && b.back() == kEtx) return b.substr(1, b.size() - 2);
  return b;
}

bool Framed(const std::string& b) { return b.size() >= 2 && b.front() == kStx && b.back() == kEtx; }

// One HexAsc1 byte at text[i..i+1], or -1.
int HexAsc1Byte(const std::string& text, size_t i) {
  if (i + 1 >= text.size()) return -1;
  const unsigned char hi = static_cast<unsigned char>(text[i]);
  const unsigned char lo = static_cast<unsigned char>(text[i + 1]);
  if (hi < 0x30 || hi > 0x3F || lo < 0x30 || lo > 0x3F) return -1;
  return ((hi - 0x30) << 4) | (lo - 0x30);
}

std::string IndexText(const std::string& payload, size_t at) {
  const int v = HexAsc1Byte(payload, at);
  return v < 0 ? std::string("?") : Num(v);
}

unsigned long Le32(const std::string& b, size_t at) {
  unsigned long v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
  return v;
}

unsigned char Xor(const std::string& b, size_t from, size_t to) {
  unsigned char x = 0;
  for (size_t i = from; i < to && i < b.size(); ++i) x ^= static_cast<unsigned char>(b[i]);
  return x;
}

std::string Quoted(const std::string& text, size_t max = 80) { return "\"" + Printable(text, max) + "\""; }

// A terminal text (GBK) in quotes, as UTF-8.
std::string QuotedGbk(const std::string& gbk, size_t max = 80) {
  return "\"" + Printable(GbkToUtf8(gbk), max, true) + "\"";
}

const char* MediaTypeName(int t) {
  switch (t) {
    case 0:
      return "advertising picture";
    case 1:
      return "video";
    case 2:
      return "teller photo";
    case 4:
      return "upgrade package";
    case 255:
      return "named file";
    default:
      return "other type";
  }
}

std::string MediaText(const std::string& typeField) {
  int t = std::atoi(typeField.c_str());
  return "type " + typeField + " (" + MediaTypeName(t) + ")";
}

// A serial download block: the record behind the name, in HexAsc1 form.
Described SerialBlock(const std::vector<std::string>& f) {
  Described d{"serial file block", MediaText(Field(f, 0)) + ", name " + Quoted(Field(f, 1))};
  std::string record;
  if (f.size() < 3 || !DecodeHexAsc1(f[2], &record) || record.size() < 10) {
    d.detail += ", record not readable";
    return d;
  }
  const unsigned long total = Le32(record, 0), remaining = Le32(record, 4);
  const size_t data = record.size() - 9;
  const bool xorOk = Xor(record, 0, record.size() - 1) == static_cast<unsigned char>(record.back());
  d.name += " " + Num(static_cast<long>(total - remaining)) + " of " + Num(static_cast<long>(total));
  d.detail += ", " + Num(static_cast<long>(data)) + " data bytes, " + Num(static_cast<long>(remaining)) +
              " to come, XOR " + (xorOk ? "ok" : "WRONG");
  return d;
}

// A HID packet: header 0x02, type, XOR, 24-bit length, payload.
Described PacketText(const std::string& b, const char* direction) {
  const int type = static_cast<unsigned char>(b[1]);
  const unsigned char x = static_cast<unsigned char>(b[2]);
  const long n = (static_cast<long>(static_cast<unsigned char>(b[3])) << 16) |
                 (static_cast<long>(static_cast<unsigned char>(b[4])) << 8) |
                 static_cast<unsigned char>(b[5]);
  static const char* const kTypes[] = {"empty", "start", "data", "end"};
  Described d;
  d.name = std::string(type <= 3 ? kTypes[type] : "unknown") + " packet " + direction;
  d.detail = "payload " + Num(n) + " bytes, XOR " + Hex2(x);
  const long inHere = static_cast<long>(b.size()) - 6;
  if (n <= inHere) d.detail += Xor(b, 6, static_cast<size_t>(6 + n)) == x ? " (matches)" : " (does NOT match)";
  if (type == 3 && n >= 1 && inHere >= 1) {
    const int media = static_cast<unsigned char>(b[6]);
    d.detail += ", media type " + Num(media) + " (" + MediaTypeName(media) + "), name " +
                Quoted(b.substr(7, static_cast<size_t>(n - 1)));
  }
  return d;
}

// "ESC [ d ; N L": the number of a module setting.
bool Setting(const std::string& head, char letter, std::string* value) {
  if (head.size() < 3 || head[0] != ';' || head.back() != letter) return false;
  *value = head.substr(1, head.size() - 2);
  for (char c : *value)
    if (c < '0' || c > '9') return false;
  return !value->empty();
}

}  // namespace

std::string Printable(const std::string& bytes, size_t max, bool utf8) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (out.size() >= max) {
      out += "... (" + Num(static_cast<long>(bytes.size())) + " bytes)";
      break;
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    switch (c) {
      case 0x1b: out += "<ESC>"; break;
      case 0x02: out += "<STX>"; break;
      case 0x03: out += "<ETX>"; break;
      case '\r': out += "<CR>"; break;
      case '\n': out += "<LF>"; break;
      default:
        if ((c >= 0x20 && c < 0x7f) || (utf8 && c >= 0x80)) {
          out += static_cast<char>(c);
        } else {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        }
    }
  }
  return out;
}

bool DecodeHexAsc1(const std::string& text, std::string* out) {
  out->clear();
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int v = HexAsc1Byte(text, i);
    if (v < 0) return false;
    *out += static_cast<char>(v);
  }
  return true;
}

Described WireDecoder::Command(const std::string& b) {
  const bool inPull = expect_ == Expect::Pull;
  expect_ = Expect::Generic;
  if (b.empty()) return {"nothing", ""};
  const unsigned char c0 = static_cast<unsigned char>(b[0]);
  if (b.size() == 1 && (c0 == 0x82 || c0 == 0x81)) {
    expect_ = Expect::PlainPin;
    return {"PIN entry start", c0 == 0x82 ? "voice prompt 0: asks for the PIN"
                                          : "voice prompt 1: asks for the PIN again"};
  }
  if (b.size() == 1 && c0 == 0x83) return {"PIN entry end", ""};
  if (c0 == kStx && b.size() >= 6) {
    expect_ = Expect::Packet;
    return PacketText(b, "to the terminal");
  }
  if (c0 != static_cast<unsigned char>(kEsc) || b.size() < 2) return {"unknown bytes", ""};

  if (b[1] == '%' && b.size() >= 3) {
    const std::string letter(1, b[2]);
    return {"channel " + letter,
            letter == "A" ? "selects channel A (also the channel reset before a close)"
                          : "selects channel " + letter + " of the port-sharing unit"};
  }

  if (b[1] == '[' && b.size() >= 3) {
    const char module = b[2];
    const size_t stx = b.find(kStx);
    const std::string head = b.substr(3, stx == std::string::npos ? std::string::npos : stx - 3);
    const std::vector<std::string> f = Fields(b);
    std::string v;
    if (head == ";SETDISP") {
      static const char* const kModules[] = {"", "PIN pad", "information screen", "", "evaluator",
                                             "keypad"};
      const int m = module - '0';
      return {"display switch", std::string(m >= 0 && m <= 5 ? kModules[m] : "?") + ": " +
                                    (Field(f, 0) == "1" ? "on" : "off")};
    }
    switch (module) {
      case '0':
        if (head == "CHECKR40" || head == "CHECKk60") {
          expect_ = Expect::Ack;
          return {"online check (model " + head.substr(5) + ")", ""};
        }
        if (head == "GETDEVICEINFO") {
          expect_ = Expect::Json;
          return {"version query", ""};
        }
        if (head == "GETUPDATESTATUS") {
          expect_ = Expect::Json;
          return {"update status query", ""};
        }
        if (head == "SETVOLUME") {
          expect_ = Expect::Ack;
          static const char* const kKinds[] = {"?", "system", "key tone", "multimedia"};
          const int k = std::atoi(Field(f, 0).c_str());
          return {"volume", std::string(k >= 1 && k <= 3 ? kKinds[k] : "kind " + Field(f, 0)) +
                                " volume " + Field(f, 1)};
        }
        if (head == "RESTART") {
          expect_ = Expect::Ack;
          return {"restart", ""};
        }
        if (head == "SETGLOBALCONFIG") return {"global configuration", Field(f, 0) + "|" + Field(f, 1)};
        if (head == ";NERIVAX_PRODUCTION_START_PQCR") return {"production check start", ""};
        if (head == "DOWNLOAD") {
          expect_ = Expect::Ack;
          return SerialBlock(f);
        }
        if (head == "HIDCHANGE") {
          expect_ = Expect::Packet;
          return {"switch to packet transfer", ""};
        }
        if (head == "PULLFILE") {
          expect_ = Expect::Pull;
          pullRemaining_ = 0;
          return {"pull file", Quoted(Field(f, 0))};
        }
        if (head == "RESPONSE") {
          if (inPull) expect_ = Expect::Pull;
          return {Field(f, 0) == "0" ? "packet accepted" : "packet refused", "answer of the host"};
        }
        if (head == "UPDATE") return {"start upgrade", Quoted(Field(f, 0))};
        if (head == "DELETE") return {"delete file", MediaText(Field(f, 0)) + ", name " + Quoted(Field(f, 1))};
        if (head == "QUERYFILE") {
          expect_ = Expect::FileInfo;
          return {"file query", MediaText(Field(f, 0)) + ", name " + Quoted(Field(f, 1))};
        }
        if (head == "GETFILELIST") {
          expect_ = Expect::FileList;
          return {"file list", MediaText(Field(f, 0))};
        }
        break;
      case '1':
        if (Setting(head, 'L', &v)) return {"PIN length", v};
        if (Setting(head, 'X', &v)) return {"plain PIN entry mode", v};
        if (Setting(head, 'T', &v)) return {"PIN entry timeout", v + " s"};
        break;
      case '2':
        if (head == "C") return {"clear the information screen", ""};
        if (Setting(head, 'T', &v)) return {"information screen timeout", v + " s"};
        if (head == "A") {
          expect_ = Expect::Info;
          std::string text;
          if (!DecodeHexAsc1(Field(f, 0), &text)) return {"show information", "text not readable"};
          return {"show information",
                  QuotedGbk(text, 160) + " (" + Num(static_cast<long>(text.size())) + " bytes)"};
        }
        if (head == "HANDSIGN") {
          expect_ = Expect::Signature;
          static const char* const kKinds[] = {"?", "html", "jpg", "pdf"};
          const int k = std::atoi(Field(f, 0).c_str());
          return {"start signing", std::string("document ") + (k >= 1 && k <= 3 ? kKinds[k] : "?") +
                                       ", timeout " + Field(f, 1) + " s"};
        }
        break;
      case '4':
        if (head == "H")
          return {"evaluator header", "teller " + QuotedGbk(Field(f, 0)) + " number " +
                                          Quoted(Field(f, 1)) + ", " + Field(f, 2) +
                                          " stars, photo " + Quoted(Field(f, 3))};
        if (Setting(head, 'T', &v)) return {"evaluator timeout", v + " s"};
        if (head == "R") {
          expect_ = Expect::Evaluator;
          return {"start the evaluation", ""};
        }
        if (head == "C") return {"close the evaluator", ""};
        break;
      case '5':
        if (Setting(head, 'T', &v)) return {"keypad timeout", v + " s"};
        if (head == "C") return {"close the keypad", ""};
        break;
      default:
        break;
    }
    return {"module " + std::string(1, module) + " command", Printable(head)};
  }

  // Line commands: ESC, letter, payload, CR LF.
  const size_t end = b.size() >= 4 && b[b.size() - 2] == '\r' && b.back() == '\n' ? b.size() - 2 : b.size();
  const std::string payload = b.substr(2, end - 2);
  switch (b[1]) {
    case 'M':
      expect_ = Expect::KeyAck;
      return {"load master key " + IndexText(payload, 0),
              "keys: " + Num(static_cast<long>(payload.size() > 2 ? (payload.size() - 2) / 2 : 0)) +
                  " bytes (not shown)"};
    case 'S':
      expect_ = Expect::KeyAck;
      return {"load work key " + IndexText(payload, 2) + " under master key " + IndexText(payload, 0),
              "key: " + Num(static_cast<long>(payload.size() > 4 ? (payload.size() - 4) / 2 : 0)) +
                  " bytes (not shown)"};
    case 'A':
      expect_ = Expect::KeyAck;
      return {"activate work key " + IndexText(payload, 2) + " of master key " + IndexText(payload, 0),
              ""};
    case 'R':
      expect_ = Expect::KeyAck;
      return {"reset all keys", ""};
    case 'G':
      if (payload == "M") {
        expect_ = Expect::Keypad;
        return {"keypad entry (amount)", ""};
      }
      break;
    case 'F':
      if (payload == "A") {
        expect_ = Expect::Keypad;
        return {"keypad entry (phone number)", ""};
      }
      if (payload.size() == 2) {
        expect_ = Expect::PinBlock;
        return {"PIN block entry", "voice prompt " + payload.substr(0, 1) + ", option " + payload.substr(1, 1)};
      }
      break;
    case 'I':
      if (payload.size() >= 2) {
        expect_ = Expect::PinBlock;
        return {"PIN block entry with account",
                "voice prompt " + payload.substr(0, 1) + ", option " + payload.substr(1, 1) +
                    ", account: " + Num(static_cast<long>(payload.size() - 2)) + " characters (not shown)"};
      }
      break;
    default:
      break;
  }
  return {"line command " + std::string(1, b[1]), ""};
}

Described WireDecoder::Pulled(const std::string& b) {
  if (pullRemaining_ > 0) {
    const long here = static_cast<long>(b.size()) < pullRemaining_ ? static_cast<long>(b.size()) : pullRemaining_;
    pullRemaining_ -= here;
    return {"data packet continued", Num(here) + " payload bytes, " + Num(pullRemaining_) + " to come"};
  }
  if (b.compare(0, 3, kRefusal) == 0) return {"refused", "the terminal has no such file"};
  if (b.size() < 6 || b[0] != kStx) return {"not a packet", Printable(b, 40)};
  Described d = PacketText(b, "from the terminal");
  const long n = (static_cast<long>(static_cast<unsigned char>(b[3])) << 16) |
                 (static_cast<long>(static_cast<unsigned char>(b[4])) << 8) |
                 static_cast<unsigned char>(b[5]);
  const long inHere = static_cast<long>(b.size()) - 6;
  if (b[1] == 2 && n > inHere) {
    pullRemaining_ = n - inHere;
    d.detail += ", " + Num(inHere) + " in this report, " + Num(pullRemaining_) + " to come";
  }
  return d;
}

Described WireDecoder::Reply(const std::string& b) {
  if (b.empty()) return {"nothing received", ""};
  switch (expect_) {
    case Expect::PlainPin: {
      const long n = static_cast<long>(b.size()) - (b.back() == '\r' ? 1 : 0);
      return {"plain PIN", Num(n) + " bytes" + (b.back() == '\r' ? " and CR" : ", no CR") + " (not shown)"};
    }
    case Expect::PinBlock:
      if (b == kRefusal) return {"refused", ""};
      if (b.size() >= 5 && b.front() == kStx) {
        const int tag = HexAsc1Byte(b, 1);
        const long chars = static_cast<long>(b.size()) - 3 - (b.back() == kEtx ? 1 : 0);
        return {"PIN block", "tag " + (tag < 0 ? std::string("?") : Hex2(static_cast<unsigned>(tag))) +
                                 ", " + Num(chars / 2) + " bytes (not shown)"};
      }
      return {"not a PIN block", Num(static_cast<long>(b.size())) + " bytes (not shown)"};
    case Expect::Pull:
      return Pulled(b);
    default:
      break;
  }
  if (b == kAck) return {"acknowledgement", ""};
  if (b == kRefusal) return {"refused", ""};
  if (b.size() == 1 && static_cast<unsigned char>(b[0]) == 0xAA) return {"key acknowledgement", ""};
  switch (expect_) {
    case Expect::KeyAck:
      return {"not the key acknowledgement", Printable(b, 40)};
    case Expect::Info:
    case Expect::Evaluator:
      if (b.size() == 3 && b[0] == 'B' && b[2] == 'F') {
        static const char* const kInfo[] = {"confirmed", "cancelled", "other", "timeout on the terminal"};
        static const char* const kEval[] = {"timeout on the terminal", "satisfied", "average", "dissatisfied"};
        const int digit = b[1] - '0';
        if (digit >= 0 && digit <= 3)
          return {"customer's answer", expect_ == Expect::Info ? kInfo[digit] : kEval[digit]};
      }
      return {"customer's answer", "not known: " + Printable(b, 40)};
    case Expect::Keypad:
      if (b.size() >= 2 && b.back() == 'F') {
        const std::string value = b.substr(1, b.size() - 2);
        if (value.empty()) return {"keypad entry", "no value"};
        // The library records the customer's entry by its length only.
        if (value.find_first_not_of('*') == std::string::npos)
          return {"keypad entry", Num(static_cast<long>(value.size())) + " characters (not recorded)"};
        return {"keypad entry", Quoted(value)};
      }
      return {"keypad entry", "not an answer: " + Printable(b, 40)};
    case Expect::Json:
      return {"data reply", Framed(b) ? Printable(FrameText(b), 200) : Printable(b, 80)};
    case Expect::FileInfo:
      return {"file information", Quoted(FrameText(b))};
    case Expect::FileList:
      return {"file list", Quoted(FrameText(b), 200)};
    default:
      break;
  }
  if (Framed(b)) return {"framed reply", Quoted(FrameText(b))};
  return {"reply", Printable(b, 80)};
}

}  // namespace tlxctl
