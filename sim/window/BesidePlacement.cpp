#include "BesidePlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include "TerminalWindow.h"

BesidePlacement PlaceBeside(const QRect& available, int demoWidth, const QSize& usual) {
  BesidePlacement p;
  p.demo = available.topLeft();
  const int left = available.left() + demoWidth;
  const int width = available.right() + 1 - left;
  p.compact = width < usual.width() || available.height() < usual.height();
  if (p.compact) {
    p.terminal = QRect(left, available.top(), width, available.height());
  } else {
    // Room enough: the usual size at the right edge.
    p.terminal = QRect(available.right() + 1 - usual.width(), available.top(), usual.width(),
                       usual.height());
  }
  return p;
}

QPoint ShowBeside(TerminalWindow* window, QScreen* screen, int demoWidth) {
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return QPoint();
  // The decorations the window manager adds, as far as they are known.
  const QSize frame = window->frameGeometry().size() - window->geometry().size();
  const BesidePlacement p =
      PlaceBeside(screen->availableGeometry(), demoWidth, window->size() + frame);
  window->setCompact(p.compact);
  if (p.compact) window->resize(p.terminal.size() - frame);
  window->move(p.terminal.topLeft());
  return p.demo;
}
