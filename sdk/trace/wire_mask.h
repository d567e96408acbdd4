// What the wire trace must not show: the key material of the key commands,
// the account number of the PIN block command, the PIN of a plain PIN reply
// and the block of a PIN block reply; nor, since they are the customer's
// personal data, the value of a keypad entry and the payload of a pulled
// file (signature picture and trajectory). Masked copies have the same length as
// the bytes they stand for, with '*' in place of every hidden byte, so the
// frame and the lengths stay readable.
#ifndef TLX_WIRE_MASK_H
#define TLX_WIRE_MASK_H

#include <string>

namespace tlx {

// What the reply to a command carries.
enum class ReplySecret { None, PlainPin, PinBlock, KeypadEntry, PulledFile };

constexpr char kMaskByte = '*';

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
