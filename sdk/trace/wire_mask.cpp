// Masking of the wire trace: the command table says which bytes of a
// command are secret and what its reply carries; the spans of the replies
// follow their frames.
#include "trace/wire_mask.h"

#include <cstring>

#include "trace/wire_bytes.h"

namespace tlx {

namespace {

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

}  // namespace

ReplySecret SecretOfReply(ReplyKind kind) {
  switch (kind) {
    case ReplyKind::PlainPin:
      return ReplySecret::PlainPin;
    case ReplyKind::PinBlock:
      return ReplySecret::PinBlock;
    case ReplyKind::Keypad:
      return ReplySecret::KeypadEntry;
    case ReplyKind::PulledFile:
      return ReplySecret::PulledFile;
    default:
      return ReplySecret::None;
  }
}

void SecretSpan(ReplySecret kind, const char* r, int len, bool packetHead, int* from, int* to) {
  *from = *to = 0;
  if (r == nullptr || len <= 0) return;
  int f = 0, t = 0;
  switch (kind) {
    case ReplySecret::PlainPin:
      t = r[len - 1] == '\r' ? len - 1 : len;
      break;
    case ReplySecret::PinBlock:
      if (r[0] != wire::kStx) {
        t = len;
      } else {
        f = 3;
        t = len >= 2 && r[len - 1] == wire::kEtx ? len - 1 : len;
      }
      break;
    case ReplySecret::KeypadEntry:
      if (len < 2 || r[len - 1] != 'F') {
        t = len;
      } else {
        f = 1;
        t = len - 1;
      }
      break;
    case ReplySecret::PulledFile:
      // A refusal carries nothing; a packet keeps its header (STX, type,
      // checksum, length), which says how long the payload is.
      if (len == 3 && std::memcmp(r, wire::kRefusal, 3) == 0) break;
      f = packetHead && len >= wire::kPacketHeadSize && r[0] == wire::kStx ? wire::kPacketHeadSize
                                                                           : 0;
      t = len;
      break;
    case ReplySecret::None:
      break;
  }
  *from = f;
  *to = t;
}

std::string MaskedCommand(const char* cmd, int len, ReplySecret* reply, int* masked) {
  *reply = ReplySecret::None;
  if (cmd == nullptr || len <= 0) return std::string();
  const CommandInfo info = ClassifyCommand(cmd, len);
  *reply = SecretOfReply(info.reply);
  return Masked(cmd, len, info.secretFrom, info.secretTo, masked);
}

std::string MaskedReply(ReplySecret kind, const char* reply, int len, int* masked,
                        bool packetHead) {
  if (reply == nullptr || len <= 0) return std::string();
  int from = 0, to = 0;
  SecretSpan(kind, reply, len, packetHead, &from, &to);
  return Masked(reply, len, from, to, masked);
}

}  // namespace tlx
