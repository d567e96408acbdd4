// The area the customer signs in: mouse, pen (tablet) or touch screen. It
// keeps the strokes in the terminal's 320x160 signature space, each point
// with the time since the pen first touched and its pressure (the device's
// when it reports one, else a constant).
#ifndef TLXSIM_SIGNATUREPAD_H
#define TLXSIM_SIGNATUREPAD_H

#include <QElapsedTimer>
#include <QWidget>

#include <vector>

#include "Signature.h"

class SignaturePad : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kConstantPressure = 512;  // 0..1023

  explicit SignaturePad(QWidget* parent = nullptr);

  void clear();
  // Shows strokes drawn elsewhere (the scripted customer's).
  void setStrokes(const std::vector<tlxsim::Stroke>& strokes);
  const std::vector<tlxsim::Stroke>& strokes() const { return m_strokes; }
  bool isEmpty() const { return m_strokes.empty(); }
  void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

  QSize sizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return width / 2; }

 signals:
  void changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void tabletEvent(QTabletEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRectF padRect() const;  // the 2:1 area inside the widget
  void penDown(const QPointF& pos, int pressure);
  void penMove(const QPointF& pos, int pressure);
  void penUp();
  tlxsim::PenPoint toPoint(const QPointF& pos, int pressure);

  std::vector<tlxsim::Stroke> m_strokes;
  QElapsedTimer m_clock;  // started at the first touch
  bool m_down = false;
  bool m_readOnly = false;
};

#endif
