#include "AnswerShape.h"

#include <algorithm>

namespace tlxsim {

bool ParseAnswerShape(const std::string& name, AnswerShape* shape) {
  if (name == "short")
    *shape = AnswerShape::Short;
  else if (name == "padded")
    *shape = AnswerShape::Padded;
  else if (name == "packet")
    *shape = AnswerShape::Packet;
  else
    return false;
  return true;
}

const char* AnswerShapeName(AnswerShape shape) {
  switch (shape) {
    case AnswerShape::Short:
      return "short";
    case AnswerShape::Padded:
      return "padded";
    case AnswerShape::Packet:
      return "packet";
  }
  return "?";
}

std::vector<std::string> ShapeAnswer(const std::string& bytes, AnswerShape shape,
                                     size_t maxPacket) {
  if (maxPacket == 0 || maxPacket > kUsbReportSize) maxPacket = kUsbReportSize;
  const size_t piece = shape == AnswerShape::Packet ? maxPacket : kUsbReportSize;
  std::vector<std::string> out;
  for (size_t off = 0; off < bytes.size(); off += piece) {
    std::string p = bytes.substr(off, std::min(piece, bytes.size() - off));
    if (shape != AnswerShape::Short) p.resize(piece, '\0');
    const bool wholePackets = p.size() % maxPacket == 0;
    out.push_back(std::move(p));
    // A piece of whole packets shorter than the host's transfer leaves the
    // transfer open; only the short shape closes it.
    if (shape == AnswerShape::Short && wholePackets && out.back().size() < kUsbReportSize)
      out.emplace_back();
  }
  return out;
}

}  // namespace tlxsim
