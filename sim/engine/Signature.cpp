#include "Signature.h"

#include <cmath>
#include <cstdlib>

#include "Png.h"

namespace tlxsim {

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

std::vector<Stroke> SignatureStrokes(int variant) {
  std::vector<Stroke> strokes;
  int t = 0;
  const double v = (variant % 7) * 0.3;
  // A cursive wave, a loop and an underline.
  Stroke wave;
  for (int x = 24; x <= 220; x += 3, t += 9)
    wave.push_back({x, int(70 + 28 * std::sin(x / 11.0 + v) + 8 * std::sin(x / 4.0)), t,
                    int(420 + 300 * std::sin(x / 30.0) * std::sin(x / 30.0))});
  strokes.push_back(wave);
  t += 180;
  Stroke loop;
  for (int a = 0; a <= 360; a += 8, t += 9)
    loop.push_back({int(255 + 28 * std::cos(a * kPi / 180)),
                    int(72 + 34 * std::sin(a * kPi / 180 + v)), t, 380 + (a % 90) * 4});
  strokes.push_back(loop);
  t += 220;
  Stroke line;
  for (int x = 30; x <= 290; x += 5, t += 7) line.push_back({x, 128 + (x / 40) % 2, t, 520});
  strokes.push_back(line);
  return strokes;
}

std::string SignaturePng(const std::vector<Stroke>& strokes) {
  const int w = kSignatureWidth, h = kSignatureHeight;
  std::vector<uint8_t> px(size_t(w) * h, 0xFF);
  auto plot = [&](int x, int y) {
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) {
        int xx = x + dx, yy = y + dy;
        if (xx >= 0 && xx < w && yy >= 0 && yy < h) px[size_t(yy) * w + xx] = 0x10;
      }
  };
  for (const Stroke& s : strokes)
    for (size_t i = 1; i < s.size(); ++i) {
      int x0 = s[i - 1].x, y0 = s[i - 1].y, x1 = s[i].x, y1 = s[i].y;
      int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
      int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx + dy;
      for (;;) {
        plot(x0, y0);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
      }
    }
  return EncodeGrayPng(w, h, px);
}

std::string SignatureXml(const std::vector<Stroke>& strokes) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += "<signature width=\"" + std::to_string(kSignatureWidth) + "\" height=\"" +
       std::to_string(kSignatureHeight) + "\">\n";
  for (const Stroke& s : strokes) {
    x += "  <stroke>\n";
    for (const PenPoint& p : s)
      x += "    <point x=\"" + std::to_string(p.x) + "\" y=\"" + std::to_string(p.y) +
           "\" time=\"" + std::to_string(p.timeMs) + "\" pressure=\"" + std::to_string(p.pressure) +
           "\"/>\n";
    x += "  </stroke>\n";
  }
  x += "</signature>\n";
  return x;
}

}  // namespace tlxsim
