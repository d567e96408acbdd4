// Where the terminal's window goes when it opens beside the demo: the demo
// (a fixed 944 x 583 window) at the left edge of the screen's available
// area, the terminal window in the rest of the width. Where that is
// narrower than the window's usual size (a 1366 x 768 screen leaves 422
// pixels), the window takes its compact form: the screen alone on top, the
// state and the wire as tabs below it.
#ifndef TLXSIM_BESIDEPLACEMENT_H
#define TLXSIM_BESIDEPLACEMENT_H

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class TerminalWindow;

constexpr int kDemoWindowWidth = 944;

struct BesidePlacement {
  QPoint demo;     // the demo window's top left corner
  QRect terminal;  // the terminal window's frame
  bool compact = false;
};

// The placement within `available` for a terminal window whose usual frame
// is `usual`.
BesidePlacement PlaceBeside(const QRect& available, int demoWidth, const QSize& usual);

// Places a shown window beside the demo on `screen`: compact when needed,
// its frame (decorations included) within the area right of the demo.
// Gives the demo's corner.
QPoint ShowBeside(TerminalWindow* window, QScreen* screen, int demoWidth = kDemoWindowWidth);

#endif
