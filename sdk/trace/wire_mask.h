// What the wire trace must not show: the key material of the key commands,
// the account number of the PIN block command, the PIN of a plain PIN reply
// and the block of a PIN block reply; nor, since they are the customer's
// personal data, the value of a keypad entry and the payload of a pulled
// file (signature picture and trajectory). Masked copies have the same length as
// the bytes they stand for, with '*' in place of every hidden byte, so the
// frame and the lengths stay readable. Which command is which comes from
// the command table (command_table.h).
#ifndef TLX_WIRE_MASK_H
#define TLX_WIRE_MASK_H

#include <string>

#include "trace/command_table.h"

namespace tlx {

// What the reply to a command carries.
enum class ReplySecret { None, PlainPin, PinBlock, KeypadEntry, PulledFile };

constexpr char kMaskByte = '*';

// The secret a reply of this kind carries.
ReplySecret SecretOfReply(ReplyKind kind);

// The bytes of a reply (or part of one) that are never shown: those from
// *from up to before *to (none when *to <= *from). A PIN block keeps STX, the two characters of
// its tag and ETX; a plain PIN its final CR; a keypad entry its first byte
// and the final 'F'; a packet of a pulled file its 6-byte header, when
// `packetHead` says the bytes start a packet (otherwise all of them are
// payload); a refusal of the pull is shown. A reply that is not framed as
// its kind expects is hidden whole.
void SecretSpan(ReplySecret kind, const char* reply, int len, bool packetHead, int* from, int* to);

// Copy of a command with its secret part masked; *reply receives what its
// reply carries, *masked (added to) the number of bytes hidden.
std::string MaskedCommand(const char* cmd, int len, ReplySecret* reply, int* masked);
// Copy of (part of) a reply to a command whose ReplySecret is `kind`. For a
// pulled file, `packetHead` says whether the read starts a packet (its
// 6-byte header stays) or continues one (all of it is payload).
std::string MaskedReply(ReplySecret kind, const char* reply, int len, int* masked,
                        bool packetHead = true);

}  // namespace tlx

#endif
