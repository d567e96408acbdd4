// Masking rules of the wire trace, by the command's own syntax:
//   ESC M idx key2 key1 CR LF   index kept, keys hidden
//   ESC S mk wk key CR LF       both indexes kept, key hidden
//   ESC I p o account CR LF     prompt and option kept, account hidden;
//                               the reply is a PIN block
//   ESC F p o CR LF             the reply is a PIN block
//   ESC F A, ESC G M            the reply is a keypad entry (phone number,
//                               amount)
//   ESC [0PULLFILE ...          the replies are the packets of a file (also
//   ESC [0RESPONSE ...          after the host's answer to each packet)
//   0x81, 0x82                  the reply is the plain PIN
// A PIN block reply keeps STX, the two characters of its tag and ETX; a
// plain PIN reply keeps its final CR; a keypad entry its first byte and the
// final 'F'; a packet of a pulled file its 6-byte header. A reply that is
// not framed as expected is hidden whole.
#include "trace/wire_mask.h"

#include <cstring>

namespace tlx {

namespace {

const char kEsc = 0x1b;
const char kStx = 0x02;
const char kEtx = 0x03;
const int kPacketHead = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Copy of bytes with [from, to) masked, built without the hidden bytes
// ever being copied.
std::string Masked(const char* bytes, int len, int from, int to, int* masked) {
  if (from < 0) from = 0;
  if (to > len) to = len;
  std::string out;
  out.reserve(static_cast<size_t>(len));
  for (int i = 0; i < len; ++i) out += (i >= from && i < to) ? kMaskByte : bytes[i];
  if (to > from) *masked += to - from;
  return out;
}

// End of the payload of a line command: before CR LF, or the end.
int LineEnd(const char* b, int n) {
  return n >= 2 && b[n - 2] == '\r' && b[n - 1] == '\n' ? n - 2 : n;
}

}  // namespace

std::string MaskedCommand(const char* cmd, int len, ReplySecret* reply, int* masked) {
  *reply = ReplySecret::None;
  if (cmd == nullptr || len <= 0) return std::string();
  const unsigned char first = static_cast<unsigned char>(cmd[0]);
  if (len == 1 && (first == 0x81 || first == 0x82)) {
    *reply = ReplySecret::PlainPin;
    return std::string(cmd, 1);
  }
  if (len >= 2 && cmd[0] == kEsc) {
    switch (cmd[1]) {
      case 'M':  // index (two characters), then the keys
        return Masked(cmd, len, 4, LineEnd(cmd, len), masked);
      case 'S':  // master and work index, then the key
        return Masked(cmd, len, 6, LineEnd(cmd, len), masked);
      case 'I':  // prompt and option digits, then the account number
        *reply = ReplySecret::PinBlock;
        return Masked(cmd, len, 4, LineEnd(cmd, len), masked);
      case 'F':
        if (len >= 4 && IsDigit(cmd[2]) && IsDigit(cmd[3])) *reply = ReplySecret::PinBlock;
        if (len >= 3 && cmd[2] == 'A') *reply = ReplySecret::KeypadEntry;
        break;
      case 'G':
        if (len >= 3 && cmd[2] == 'M') *reply = ReplySecret::KeypadEntry;
        break;
      case '[':
        // The pull and the host's answer to each of its packets: what
        // follows either is the file.
        if ((len >= 11 && std::memcmp(cmd + 2, "0PULLFILE", 9) == 0) ||
            (len >= 11 && std::memcmp(cmd + 2, "0RESPONSE", 9) == 0))
          *reply = ReplySecret::PulledFile;
        break;
      default:
        break;
    }
  }
  return std::string(cmd, static_cast<size_t>(len));
}

std::string MaskedReply(ReplySecret kind, const char* reply, int len, int* masked,
                        bool packetHead) {
  if (reply == nullptr || len <= 0) return std::string();
  switch (kind) {
    case ReplySecret::PlainPin:
      return Masked(reply, len, 0, reply[len - 1] == '\r' ? len - 1 : len, masked);
    case ReplySecret::PinBlock:
      if (reply[0] != kStx) return Masked(reply, len, 0, len, masked);
      return Masked(reply, len, 3, len >= 2 && reply[len - 1] == kEtx ? len - 1 : len, masked);
    case ReplySecret::KeypadEntry:
      if (len < 2 || reply[len - 1] != 'F') return Masked(reply, len, 0, len, masked);
      return Masked(reply, len, 1, len - 1, masked);
    case ReplySecret::PulledFile:
      // A refusal carries nothing; a packet keeps its header (STX, type,
      // checksum, length), which says how long the payload is.
      if (len == 3 && reply[0] == kStx && reply[1] == 'U' && reply[2] == kEtx)
        return std::string(reply, 3);
      if (!packetHead || len < kPacketHead || reply[0] != kStx) return Masked(reply, len, 0, len, masked);
      return Masked(reply, len, kPacketHead, len, masked);
    case ReplySecret::None:
      break;
  }
  return std::string(reply, static_cast<size_t>(len));
}

}  // namespace tlx
