// The bytes of the terminal's protocol, named once for the library that
// sends and reads them and for the codec that decodes and masks them: the
// frame bytes, the fixed replies, the channel selector of a port-sharing
// unit and the single control bytes of the PIN entry.
#ifndef TLX_WIRE_BYTES_H
#define TLX_WIRE_BYTES_H

namespace tlx {
namespace wire {

constexpr char kEsc = 0x1b;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kFieldSeparator = '|';

// Fixed replies.
constexpr char kAck[] = "\x02\xaa\x03";   // acknowledgement
constexpr char kRefusal[] = "\x02U\x03";  // negative reply
constexpr char kRefusedMark = 'U';        // second byte of a refused frame
constexpr unsigned char kKeyAck = 0xAA;   // key command acknowledgement

// Channel selector ESC '%' letter, sent after a serial open; the reset
// ESC '%' 'A' before the close.
constexpr char kChannelSelector[] = "\x1b%";
constexpr char kChannelReset[] = "\x1b%A";

// Single control bytes of the PIN entry.
constexpr unsigned char kPinStartFirstAsk = 0x82;  // voice prompt 0: asks for the PIN
constexpr unsigned char kPinStartAskAgain = 0x81;  // voice prompt 1: asks once more
constexpr unsigned char kPinEnd = 0x83;

// A packet of the packet transfer: STX, type, XOR of the payload, the
// payload length in three bytes (high first), then the payload.
constexpr int kPacketHeadSize = 6;

}  // namespace wire
}  // namespace tlx

#endif
