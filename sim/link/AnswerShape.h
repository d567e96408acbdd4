// How the terminal's USB face cuts an answer into IN transfers. A host
// reads 1024-byte transfers; a transfer ends when it is full or when the
// device sends a short packet (a zero-length one included). The shapes:
//   Short   the answer as it stands, at most 1024 bytes a transfer; a piece
//           that fills whole packets but not the host's 1024 bytes is
//           followed by a zero-length packet, so every piece ends at once
//   Padded  whole 1024-byte reports, the last one padded with zeros (what a
//           HID device sends, and what the libusb stand-in carries)
//   Packet  pieces of exactly one packet (512 bytes at high speed), padded
//           with zeros and never followed by a zero-length packet: a host
//           asking for 1024 bytes waits for the rest until its timeout
#ifndef TLXSIM_ANSWERSHAPE_H
#define TLXSIM_ANSWERSHAPE_H

#include <cstddef>
#include <string>
#include <vector>

namespace tlxsim {

enum class AnswerShape { Short, Padded, Packet };

constexpr size_t kUsbReportSize = 1024;

// "short", "padded", "packet"; false for anything else.
bool ParseAnswerShape(const std::string& name, AnswerShape* shape);
const char* AnswerShapeName(AnswerShape shape);

// The IN transfers one answer chunk becomes, in order. An empty string
// stands for a zero-length packet. maxPacket is the IN endpoint's packet
// size at the speed the host connected with (64 full speed, 512 high).
std::vector<std::string> ShapeAnswer(const std::string& bytes, AnswerShape shape, size_t maxPacket);

}  // namespace tlxsim

#endif
