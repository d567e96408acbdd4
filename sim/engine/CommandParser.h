// Splits the byte stream the host writes on one link into commands,
// whatever the chunking: a command may arrive over several writes, several
// commands in one. Zero bytes between commands (HID report padding) are
// skipped. Recognised forms:
//   module command   ESC '[' digit [';' [digits]] keyword [STX fields ETX]
//   line command     ESC letter payload CR LF       (M S A R F I G)
//   channel selector ESC '%' letter
//   control byte     0x81 0x82 0x83
//   packet (HID)     0x02 type xor len(3, MSB first) payload
// Anything else is reported as Noise so that it can be logged.
#ifndef TLXSIM_COMMANDPARSER_H
#define TLXSIM_COMMANDPARSER_H

#include <cstddef>
#include <string>
#include <vector>

namespace tlxsim {

struct ParsedCommand {
  enum class Kind { Module, Line, Control, Channel, Packet, Noise };
  Kind kind = Kind::Noise;
  std::string raw;  // the command's bytes as received
  // Module: digit, optional ";value", keyword, fields between STX and ETX.
  int module = -1;
  bool hasValue = false;
  long value = 0;
  std::string keyword;  // Module: "CHECKR40", "T", ...; Line: the letter
  bool hasFields = false;
  std::string fields;      // Module: between STX and ETX; Line: payload before CR LF
  unsigned char code = 0;  // Control: the byte; Channel: the letter
  // Packet
  int packetType = 0;
  unsigned char packetXor = 0;
  bool packetTooLong = false;  // announced length above the limit; payload not read
  std::string payload;
};

class CommandParser {
 public:
  static constexpr size_t kMaxFields = 1 << 20;  // module command fields
  static constexpr size_t kMaxLine = 4096;       // line command payload
  static constexpr size_t kMaxPacket = 256000;   // packet payload

  explicit CommandParser(bool packets) : packets_(packets) {}
  void Feed(const char* data, size_t n, std::vector<ParsedCommand>* out);
  void Reset();

 private:
  enum class State {
    Idle,
    Esc,
    Digit,
    AfterDigit,
    Value,
    Keyword,
    Stx,
    Fields,
    Line,
    Channel,
    PacketHeader,
    PacketPayload
  };
  void Emit(std::vector<ParsedCommand>* out);
  void EmitNoise(std::vector<ParsedCommand>* out);
  void Start(ParsedCommand::Kind kind, unsigned char b);
  bool KeywordStep(unsigned char b, std::vector<ParsedCommand>* out);
  void Idle(unsigned char b, std::vector<ParsedCommand>* out);
  void Abandon(unsigned char b, std::vector<ParsedCommand>* out);

  bool packets_;
  State state_ = State::Idle;
  ParsedCommand cur_;
  std::string noise_;
  size_t packetLen_ = 0;
};

// Whether a module keyword carries STX fields; used by the parser.
bool KeywordHasFields(const std::string& keyword);

}  // namespace tlxsim

#endif
