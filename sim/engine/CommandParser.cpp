#include "CommandParser.h"

#include <algorithm>
#include <cstring>

namespace tlxsim {

namespace {

struct KeywordDef {
  const char* name;
  const char* modules;  // module digits it belongs to
  bool fields;
};

// No keyword is a proper prefix of another keyword of the same module, so a
// keyword is complete as soon as it matches.
const KeywordDef kKeywords[] = {
    {"SETGLOBALCONFIG", "0", true},
    {"NERIVAX_PRODUCTION_START_PQCR", "0", false},
    {"GETDEVICEINFO", "0", false},
    {"GETUPDATESTATUS", "0", false},
    {"SETVOLUME", "0", true},
    {"RESTART", "0", false},
    {"RESPONSE", "0", true},
    {"CHECKR40", "0", false},
    {"CHECKk60", "0", false},
    {"DOWNLOAD", "0", true},
    {"DELETE", "0", true},
    {"HIDCHANGE", "0", false},
    {"PULLFILE", "0", true},
    {"UPDATE", "0", true},
    {"QUERYFILE", "0", true},
    {"GETFILELIST", "0", true},
    {"SETDISP", "1245", true},
    {"HANDSIGN", "2", true},
    {"L", "1", false},
    {"X", "1", false},
    {"T", "1245", false},
    {"A", "2", true},
    {"C", "245", false},
    {"H", "4", true},
    {"R", "4", false},
};

const KeywordDef* FindKeyword(int module, const std::string& kw, bool* prefix) {
  *prefix = false;
  const KeywordDef* exact = nullptr;
  for (const auto& k : kKeywords) {
    if (!std::strchr(k.modules, '0' + module)) continue;
    size_t len = std::strlen(k.name);
    if (kw.size() > len || std::memcmp(k.name, kw.data(), kw.size()) != 0) continue;
    if (len == kw.size())
      exact = &k;
    else
      *prefix = true;
  }
  return exact;
}

}  // namespace

bool KeywordHasFields(const std::string& keyword) {
  for (const auto& k : kKeywords)
    if (keyword == k.name) return k.fields;
  return false;
}

void CommandParser::Reset() {
  state_ = State::Idle;
  cur_ = ParsedCommand();
  noise_.clear();
  packetLen_ = 0;
}

void CommandParser::Emit(std::vector<ParsedCommand>* out) {
  EmitNoise(out);
  out->push_back(std::move(cur_));
  cur_ = ParsedCommand();
  state_ = State::Idle;
}

void CommandParser::EmitNoise(std::vector<ParsedCommand>* out) {
  if (noise_.empty()) return;
  ParsedCommand n;
  n.kind = ParsedCommand::Kind::Noise;
  n.raw.swap(noise_);
  out->push_back(std::move(n));
}

void CommandParser::Start(ParsedCommand::Kind kind, unsigned char b) {
  cur_ = ParsedCommand();
  cur_.kind = kind;
  cur_.raw.push_back(static_cast<char>(b));
}

// An incomplete command that turned out invalid becomes noise; the byte
// that broke it is looked at again as a possible command start.
void CommandParser::Abandon(unsigned char b, std::vector<ParsedCommand>* out) {
  noise_ += cur_.raw;
  cur_ = ParsedCommand();
  state_ = State::Idle;
  Idle(b, out);
}

void CommandParser::Idle(unsigned char b, std::vector<ParsedCommand>* out) {
  if (b == 0x00) return;  // report padding
  if (b == 0x1B) {
    Start(ParsedCommand::Kind::Noise, b);
    state_ = State::Esc;
  } else if (b == 0x81 || b == 0x82 || b == 0x83) {
    Start(ParsedCommand::Kind::Control, b);
    cur_.code = b;
    Emit(out);
  } else if (b == 0x02 && packets_) {
    Start(ParsedCommand::Kind::Packet, b);
    state_ = State::PacketHeader;
  } else {
    noise_.push_back(static_cast<char>(b));
  }
}

bool CommandParser::KeywordStep(unsigned char b, std::vector<ParsedCommand>* out) {
  cur_.keyword.push_back(static_cast<char>(b));
  bool prefix = false;
  const KeywordDef* k = FindKeyword(cur_.module, cur_.keyword, &prefix);
  if (!k && !prefix) return false;
  cur_.raw.push_back(static_cast<char>(b));
  if (k) {
    if (k->fields)
      state_ = State::Stx;
    else
      Emit(out);
  } else {
    state_ = State::Keyword;
  }
  return true;
}

void CommandParser::Feed(const char* data, size_t n, std::vector<ParsedCommand>* out) {
  size_t i = 0;
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(data[i]);
    switch (state_) {
      case State::Idle:
        Idle(b, out);
        break;
      case State::Esc:
        if (b == '[') {
          cur_.raw.push_back('[');
          cur_.kind = ParsedCommand::Kind::Module;
          state_ = State::Digit;
        } else if (b == '%') {
          cur_.raw.push_back('%');
          cur_.kind = ParsedCommand::Kind::Channel;
          state_ = State::Channel;
        } else if (std::strchr("MSARFIG", b) && b != 0) {
          cur_.raw.push_back(static_cast<char>(b));
          cur_.kind = ParsedCommand::Kind::Line;
          cur_.keyword.assign(1, static_cast<char>(b));
          state_ = State::Line;
        } else {
          Abandon(b, out);
        }
        break;
      case State::Digit:
        if (b >= '0' && b <= '9') {
          cur_.raw.push_back(static_cast<char>(b));
          cur_.module = b - '0';
          state_ = State::AfterDigit;
        } else {
          Abandon(b, out);
        }
        break;
      case State::AfterDigit:
        if (b == ';') {
          cur_.raw.push_back(';');
          state_ = State::Value;
        } else if (!KeywordStep(b, out)) {
          Abandon(b, out);
        }
        break;
      case State::Value:
        if (b >= '0' && b <= '9' && cur_.raw.size() < 32) {
          cur_.raw.push_back(static_cast<char>(b));
          cur_.hasValue = true;
          cur_.value = cur_.value * 10 + (b - '0');
        } else if (!KeywordStep(b, out)) {
          Abandon(b, out);
        }
        break;
      case State::Keyword:
        if (!KeywordStep(b, out)) Abandon(b, out);
        break;
      case State::Stx:
        if (b == 0x02) {
          cur_.raw.push_back(0x02);
          cur_.hasFields = true;
          state_ = State::Fields;
        } else {
          // A fielded keyword without fields: complete as it stands.
          Emit(out);
          Idle(b, out);
        }
        break;
      case State::Fields: {
        const char* end = static_cast<const char*>(std::memchr(data + i, 0x03, n - i));
        size_t take = end ? static_cast<size_t>(end - (data + i)) : n - i;
        if (cur_.fields.size() + take > kMaxFields) {
          noise_ += cur_.raw;
          cur_ = ParsedCommand();
          state_ = State::Idle;
          i += take;
          continue;
        }
        cur_.fields.append(data + i, take);
        cur_.raw.append(data + i, take);
        i += take;
        if (end) {
          cur_.raw.push_back(0x03);
          ++i;
          Emit(out);
        }
        continue;
      }
      case State::Line:
        cur_.raw.push_back(static_cast<char>(b));
        if (b == '\n' && cur_.raw.size() >= 4 && cur_.raw[cur_.raw.size() - 2] == '\r') {
          cur_.fields = cur_.raw.substr(2, cur_.raw.size() - 4);
          Emit(out);
        } else if (cur_.raw.size() > kMaxLine) {
          noise_ += cur_.raw;
          cur_ = ParsedCommand();
          state_ = State::Idle;
        }
        break;
      case State::Channel:
        cur_.raw.push_back(static_cast<char>(b));
        cur_.code = b;
        Emit(out);
        break;
      case State::PacketHeader:
        cur_.raw.push_back(static_cast<char>(b));
        if (cur_.raw.size() == 2 && (b < 1 || b > 3)) {
          // Not a packet type: a stray STX.
          std::string bytes = cur_.raw;
          cur_ = ParsedCommand();
          state_ = State::Idle;
          noise_.push_back(bytes[0]);
          Idle(b, out);
          break;
        }
        if (cur_.raw.size() == 6) {
          const unsigned char* h = reinterpret_cast<const unsigned char*>(cur_.raw.data());
          cur_.packetType = h[1];
          cur_.packetXor = h[2];
          packetLen_ = (static_cast<size_t>(h[3]) << 16) | (static_cast<size_t>(h[4]) << 8) | h[5];
          if (packetLen_ > kMaxPacket) {
            cur_.packetTooLong = true;
            Emit(out);
          } else if (packetLen_ == 0) {
            Emit(out);
          } else {
            cur_.payload.reserve(packetLen_);
            state_ = State::PacketPayload;
          }
        }
        break;
      case State::PacketPayload: {
        size_t take = std::min(n - i, packetLen_ - cur_.payload.size());
        cur_.payload.append(data + i, take);
        cur_.raw.append(data + i, take);
        i += take;
        if (cur_.payload.size() == packetLen_) Emit(out);
        continue;
      }
    }
    ++i;
  }
  // Noise cannot be the start of a command split over writes: report it now.
  if (state_ == State::Idle) EmitNoise(out);
}

}  // namespace tlxsim
