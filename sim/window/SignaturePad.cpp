#include "SignaturePad.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTabletEvent>
#include <QTouchDevice>
#include <QTouchEvent>

#include <algorithm>
#include <cmath>

SignaturePad::SignaturePad(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_AcceptTouchEvents);
  setAttribute(Qt::WA_StaticContents);
  setCursor(Qt::CrossCursor);
  setMinimumSize(240, 120);
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

QSize SignaturePad::sizeHint() const {
  return QSize(2 * tlxsim::kSignatureWidth, 2 * tlxsim::kSignatureHeight);
}

void SignaturePad::clear() {
  m_strokes.clear();
  m_down = false;
  update();
  emit changed();
}

void SignaturePad::setStrokes(const std::vector<tlxsim::Stroke>& strokes) {
  m_strokes = strokes;
  m_down = false;
  update();
  emit changed();
}

QRectF SignaturePad::padRect() const {
  const double w = std::min<double>(width(), 2.0 * height());
  const double h = w / 2;
  return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
}

tlxsim::PenPoint SignaturePad::toPoint(const QPointF& pos, int pressure) {
  const QRectF r = padRect();
  tlxsim::PenPoint p;
  const double x = (pos.x() - r.left()) * tlxsim::kSignatureWidth / r.width();
  const double y = (pos.y() - r.top()) * tlxsim::kSignatureHeight / r.height();
  p.x = std::clamp(static_cast<int>(std::lround(x)), 0, tlxsim::kSignatureWidth - 1);
  p.y = std::clamp(static_cast<int>(std::lround(y)), 0, tlxsim::kSignatureHeight - 1);
  if (!m_clock.isValid()) m_clock.start();
  p.timeMs = static_cast<int>(std::min<qint64>(m_clock.elapsed(), 3600000));
  p.pressure = std::clamp(pressure, 0, 1023);
  return p;
}

void SignaturePad::penDown(const QPointF& pos, int pressure) {
  if (m_readOnly) return;
  if (m_strokes.empty())
    m_clock.invalidate();  // times count from the first touch of this signature
  m_strokes.push_back({toPoint(pos, pressure)});
  m_down = true;
  update();
}

void SignaturePad::penMove(const QPointF& pos, int pressure) {
  if (m_readOnly || !m_down || m_strokes.empty()) return;
  const tlxsim::PenPoint p = toPoint(pos, pressure);
  const tlxsim::PenPoint& last = m_strokes.back().back();
  if (p.x == last.x && p.y == last.y) return;
  m_strokes.back().push_back(p);
  update();
}

void SignaturePad::penUp() {
  if (!m_down) return;
  m_down = false;
  emit changed();
}

void SignaturePad::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) penDown(event->localPos(), kConstantPressure);
}

void SignaturePad::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) penMove(event->localPos(), kConstantPressure);
}

void SignaturePad::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    penMove(event->localPos(), kConstantPressure);
    penUp();
  }
}

void SignaturePad::tabletEvent(QTabletEvent* event) {
  const int pressure = static_cast<int>(std::lround(event->pressure() * 1023));
  switch (event->type()) {
    case QEvent::TabletPress:
      penDown(event->posF(), pressure);
      break;
    case QEvent::TabletMove:
      penMove(event->posF(), pressure);
      break;
    case QEvent::TabletRelease:
      penUp();
      break;
    default:
      break;
  }
  event->accept();
}

bool SignaturePad::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
      auto* touch = static_cast<QTouchEvent*>(event);
      const QList<QTouchEvent::TouchPoint> points = touch->touchPoints();
      if (points.isEmpty()) return true;
      const QTouchEvent::TouchPoint& tp = points.first();
      const bool hasPressure =
          touch->device() && (touch->device()->capabilities() & QTouchDevice::Pressure);
      const int pressure =
          hasPressure ? static_cast<int>(std::lround(tp.pressure() * 1023)) : kConstantPressure;
      if (tp.state() == Qt::TouchPointPressed)
        penDown(tp.pos(), pressure);
      else if (tp.state() == Qt::TouchPointReleased)
        penUp();
      else
        penMove(tp.pos(), pressure);
      event->accept();
      return true;
    }
    default:
      return QWidget::event(event);
  }
}

void SignaturePad::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF r = padRect();
  painter.fillRect(r, Qt::white);
  painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::DashLine));
  const double baseline = r.top() + r.height() * 0.8;
  painter.drawLine(QPointF(r.left() + 12, baseline), QPointF(r.right() - 12, baseline));
  const double sx = r.width() / tlxsim::kSignatureWidth;
  const double sy = r.height() / tlxsim::kSignatureHeight;
  for (const tlxsim::Stroke& s : m_strokes) {
    for (size_t i = 0; i < s.size(); ++i) {
      const tlxsim::PenPoint& a = s[i > 0 ? i - 1 : 0];
      const tlxsim::PenPoint& b = s[i];
      const double width = 1.0 + 3.0 * b.pressure / 1023.0;
      painter.setPen(QPen(QColor(20, 30, 90), width * sx, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(r.left() + a.x * sx, r.top() + a.y * sy),
                       QPointF(r.left() + b.x * sx, r.top() + b.y * sy));
    }
  }
  painter.setPen(QPen(QColor(120, 120, 120), 1));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
}
