// The customer's handwritten signature: pen strokes with time and pressure,
// drawn into a PNG and written out as a trajectory XML.
#ifndef TLXSIM_SIGNATURE_H
#define TLXSIM_SIGNATURE_H

#include <string>
#include <vector>

namespace tlxsim {

struct PenPoint {
  int x = 0, y = 0;
  int timeMs = 0;    // since the pen first touched
  int pressure = 0;  // 0..1023
};
using Stroke = std::vector<PenPoint>;

constexpr int kSignatureWidth = 320;
constexpr int kSignatureHeight = 160;

// A signature-like set of strokes; `variant` changes its shape a little.
std::vector<Stroke> SignatureStrokes(int variant);
std::string SignaturePng(const std::vector<Stroke>& strokes);
std::string SignatureXml(const std::vector<Stroke>& strokes);

}  // namespace tlxsim

#endif
