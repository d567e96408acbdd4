// Decoding of commands and replies for `tlxctl trace`.
#include "wire_names.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gbk_text.h"
#include "trace/command_table.h"
#include "trace/wire_bytes.h"
#include "trace/wire_mask.h"

namespace tlxctl {

namespace {

using tlx::wire::kAck;
using tlx::wire::kEtx;
using tlx::wire::kRefusal;
using tlx::wire::kStx;

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
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
  return v;
}

unsigned char Xor(const std::string& b, size_t from, size_t to) {
  unsigned char x = 0;
  for (size_t i = from; i < to && i < b.size(); ++i) x ^= static_cast<unsigned char>(b[i]);
  return x;
}

std::string Quoted(const std::string& text, size_t max = 80) {
  return "\"" + Printable(text, max) + "\"";
}

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
  d.name +=
      " " + Num(static_cast<long>(total - remaining)) + " of " + Num(static_cast<long>(total));
  d.detail += ", " + Num(static_cast<long>(data)) + " data bytes, " +
              Num(static_cast<long>(remaining)) + " to come, XOR " + (xorOk ? "ok" : "WRONG");
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
  if (n <= inHere)
    d.detail += Xor(b, 6, static_cast<size_t>(6 + n)) == x ? " (matches)" : " (does NOT match)";
  if (type == 3 && n >= 1 && inHere >= 1) {
    const int media = static_cast<unsigned char>(b[6]);
    d.detail += ", media type " + Num(media) + " (" + MediaTypeName(media) + "), name " +
                Quoted(b.substr(7, static_cast<size_t>(n - 1)));
  }
  return d;
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
      case 0x1b:
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
        if (utf8 && c == 0xC2 && i + 1 < bytes.size() &&
            (static_cast<unsigned char>(bytes[i + 1]) & 0xE0) == 0x80) {
          // A C1 control character (C2 80..C2 9F in UTF-8): by its code.
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(bytes[++i]));
          out += buf;
        } else if ((c >= 0x20 && c < 0x7f) || (utf8 && c >= 0x80)) {
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
  using tlx::CommandId;
  const bool inPull = expect_ == tlx::ReplyKind::PulledFile;
  const tlx::CommandInfo c = tlx::ClassifyCommand(b.data(), static_cast<int>(b.size()));
  expect_ = c.reply;
  const std::string name = c.name;
  // ESC [ commands: the keyword and the fields; line commands: the payload.
  const std::string head =
      b.substr(static_cast<size_t>(c.headFrom), static_cast<size_t>(c.headTo - c.headFrom));
  const std::string payload = b.substr(static_cast<size_t>(c.payloadFrom),
                                       static_cast<size_t>(c.payloadTo - c.payloadFrom));
  const long secret = c.secretTo - c.secretFrom;
  const std::vector<std::string> f = c.headTo > 0 ? Fields(b) : std::vector<std::string>();
  // A module setting: the number between ';' and its letter.
  const std::string setting = head.size() >= 3 ? head.substr(1, head.size() - 2) : std::string();
  switch (c.id) {
    case CommandId::PinEntryStart:
      return {name, static_cast<unsigned char>(b[0]) == tlx::wire::kPinStartFirstAsk
                        ? "voice prompt 0: asks for the PIN"
                        : "voice prompt 1: asks for the PIN again"};
    case CommandId::Packet:
      return PacketText(b, "to the terminal");
    case CommandId::Channel: {
      const std::string letter(1, c.letter);
      return {name + " " + letter, letter == "A"
                                       ? "selects channel A (also the channel reset before a close)"
                                       : "selects channel " + letter + " of the port-sharing unit"};
    }
    case CommandId::DisplaySwitch: {
      static const char* const kModules[] = {"", "PIN pad",   "information screen",
                                             "", "evaluator", "keypad"};
      const int m = c.module - '0';
      return {name, std::string(m >= 0 && m <= 5 ? kModules[m] : "?") + ": " +
                        (Field(f, 0) == "1" ? "on" : "off")};
    }
    case CommandId::OnlineCheck:
      return {name + " (model " + head.substr(5) + ")", ""};
    case CommandId::Volume: {
      static const char* const kKinds[] = {"?", "system", "key tone", "multimedia"};
      const int k = std::atoi(Field(f, 0).c_str());
      return {name, std::string(k >= 1 && k <= 3 ? kKinds[k] : "kind " + Field(f, 0)) + " volume " +
                        Field(f, 1)};
    }
    case CommandId::GlobalConfig:
      return {name, Field(f, 0) + "|" + Field(f, 1)};
    case CommandId::SerialBlock:
      return SerialBlock(f);
    case CommandId::PullFile:
      pullRemaining_ = 0;
      return {name, Quoted(Field(f, 0))};
    case CommandId::PullAnswer:
      // Only an answer within a pull is followed by the file's next packet.
      if (!inPull) expect_ = tlx::ReplyKind::Generic;
      return {Field(f, 0) == "0" ? "packet accepted" : "packet refused", "answer of the host"};
    case CommandId::StartUpgrade:
      return {name, Quoted(Field(f, 0))};
    case CommandId::DeleteFile:
    case CommandId::QueryFile:
      return {name, MediaText(Field(f, 0)) + ", name " + Quoted(Field(f, 1))};
    case CommandId::FileList:
      return {name, MediaText(Field(f, 0))};
    case CommandId::PinLength:
    case CommandId::PlainPinMode:
      return {name, setting};
    case CommandId::PinTimeout:
    case CommandId::ScreenTimeout:
    case CommandId::EvaluatorTimeout:
    case CommandId::KeypadTimeout:
      return {name, setting + " s"};
    case CommandId::ShowInfo: {
      std::string text;
      if (!DecodeHexAsc1(Field(f, 0), &text)) return {name, "text not readable"};
      return {name, QuotedGbk(text, 160) + " (" + Num(static_cast<long>(text.size())) + " bytes)"};
    }
    case CommandId::StartSigning: {
      static const char* const kKinds[] = {"?", "html", "jpg", "pdf"};
      const int k = std::atoi(Field(f, 0).c_str());
      return {name, std::string("document ") + (k >= 1 && k <= 3 ? kKinds[k] : "?") + ", timeout " +
                        Field(f, 1) + " s"};
    }
    case CommandId::EvaluatorHeader:
      return {name, "teller " + QuotedGbk(Field(f, 0)) + " number " + Quoted(Field(f, 1)) + ", " +
                        Field(f, 2) + " stars, photo " + Quoted(Field(f, 3))};
    case CommandId::ModuleOther:
      return {"module " + std::string(1, c.module) + " command", Printable(head)};
    case CommandId::LoadMasterKey:
      return {name + " " + IndexText(payload, 0),
              "keys: " + Num(secret > 0 ? secret / 2 : 0) + " bytes (not shown)"};
    case CommandId::LoadWorkKey:
      return {name + " " + IndexText(payload, 2) + " under master key " + IndexText(payload, 0),
              "key: " + Num(secret > 0 ? secret / 2 : 0) + " bytes (not shown)"};
    case CommandId::ActivateWorkKey:
      return {name + " " + IndexText(payload, 2) + " of master key " + IndexText(payload, 0), ""};
    case CommandId::PinBlockEntry:
      return {name, "voice prompt " + payload.substr(0, 1) + ", option " + payload.substr(1, 1)};
    case CommandId::PinBlockWithAccount:
      return {name, "voice prompt " + (payload.empty() ? "?" : payload.substr(0, 1)) + ", option " +
                        (payload.size() < 2 ? "?" : payload.substr(1, 1)) +
                        ", account: " + Num(secret > 0 ? secret : 0) + " characters (not shown)"};
    case CommandId::LineOther:
      return {name + " " + std::string(1, c.letter), ""};
    default:
      return {name, ""};
  }
}

Described WireDecoder::Pulled(const std::string& b) {
  if (pullRemaining_ > 0) {
    const long here =
        static_cast<long>(b.size()) < pullRemaining_ ? static_cast<long>(b.size()) : pullRemaining_;
    pullRemaining_ -= here;
    return {"data packet continued",
            Num(here) + " payload bytes, " + Num(pullRemaining_) + " to come"};
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
  using tlx::ReplyKind;
  if (b.empty()) return {"nothing received", ""};
  // What the trace hides of this reply (and tlxctl never shows).
  int from = 0, to = 0;
  tlx::SecretSpan(tlx::SecretOfReply(expect_), b.data(), static_cast<int>(b.size()), true, &from,
                  &to);
  const long hidden = to > from ? to - from : 0;
  switch (expect_) {
    case ReplyKind::PlainPin:
      return {"plain PIN",
              Num(hidden) + " bytes" + (b.back() == '\r' ? " and CR" : ", no CR") + " (not shown)"};
    case ReplyKind::PinBlock:
      if (b == kRefusal) return {"refused", ""};
      if (b.size() >= 5 && from == 3) {
        const int tag = HexAsc1Byte(b, 1);
        return {"PIN block", "tag " +
                                 (tag < 0 ? std::string("?") : Hex2(static_cast<unsigned>(tag))) +
                                 ", " + Num(hidden / 2) + " bytes (not shown)"};
      }
      return {"not a PIN block", Num(static_cast<long>(b.size())) + " bytes (not shown)"};
    case ReplyKind::PulledFile:
      return Pulled(b);
    default:
      break;
  }
  if (b == kAck) return {"acknowledgement", ""};
  if (b == kRefusal) return {"refused", ""};
  if (b.size() == 1 && static_cast<unsigned char>(b[0]) == tlx::wire::kKeyAck)
    return {"key acknowledgement", ""};
  switch (expect_) {
    case ReplyKind::KeyAck:
      return {"not the key acknowledgement", Printable(b, 40)};
    case ReplyKind::Info:
    case ReplyKind::Evaluator:
      if (b.size() == 3 && b[0] == 'B' && b[2] == 'F') {
        static const char* const kInfo[] = {"confirmed", "cancelled", "other",
                                            "timeout on the terminal"};
        static const char* const kEval[] = {"timeout on the terminal", "satisfied", "average",
                                            "dissatisfied"};
        const int digit = b[1] - '0';
        if (digit >= 0 && digit <= 3)
          return {"customer's answer", expect_ == ReplyKind::Info ? kInfo[digit] : kEval[digit]};
      }
      return {"customer's answer", "not known: " + Printable(b, 40)};
    case ReplyKind::Keypad:
      if (from == 1) {
        const std::string value = b.substr(1, static_cast<size_t>(hidden));
        if (value.empty()) return {"keypad entry", "no value"};
        // The library records the customer's entry by its length only.
        if (value.find_first_not_of(tlx::kMaskByte) == std::string::npos)
          return {"keypad entry",
                  Num(static_cast<long>(value.size())) + " characters (not recorded)"};
        return {"keypad entry", Quoted(value)};
      }
      return {"keypad entry", "not an answer: " + Printable(b, 40)};
    case ReplyKind::Json:
      return {"data reply", Framed(b) ? Printable(FrameText(b), 200) : Printable(b, 80)};
    case ReplyKind::FileInfo:
      return {"file information", Quoted(FrameText(b))};
    case ReplyKind::FileList:
      return {"file list", Quoted(FrameText(b), 200)};
    default:
      break;
  }
  if (Framed(b)) return {"framed reply", Quoted(FrameText(b))};
  return {"reply", Printable(b, 80)};
}

}  // namespace tlxctl
