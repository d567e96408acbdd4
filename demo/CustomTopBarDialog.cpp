#include "CustomTopBarDialog.h"

#include <QMouseEvent>
#include <QPushButton>

#include <cmath>

namespace {

// Event coordinates are floating point; halves round towards +infinity.
int roundHalfUp(qreal v) { return static_cast<int>(std::floor(v + 0.5)); }

QPoint rounded(const QPointF& p) { return QPoint(roundHalfUp(p.x()), roundHalfUp(p.y())); }

}  // namespace

CustomTopBarDialog::CustomTopBarDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
  setWindowModality(Qt::WindowModal);
  setFocusPolicy(Qt::ClickFocus);
}

void CustomTopBarDialog::Init(QWidget* topBar, QPushButton* closeButton,
                              QPushButton* maximiseButton, QPushButton* minimiseButton,
                              bool doubleClickToggles, bool closeHides, bool hideOnClose) {
  m_topBar = topBar;
  m_closeButton = closeButton;
  m_maxButton = maximiseButton;
  m_minButton = minimiseButton;
  m_doubleClickToggles = doubleClickToggles;
  m_closeHides = closeHides;
  m_hideOnClose = hideOnClose;

  if (m_closeButton) {
    m_closeButton->setFocusPolicy(Qt::ClickFocus);
    if (!m_closeHides)
      connect(m_closeButton, &QPushButton::clicked, this, &CustomTopBarDialog::sltCloseDialog);
    else if (m_hideOnClose)
      connect(m_closeButton, &QPushButton::clicked, this, &QWidget::hide);
  }
  if (m_maxButton) {
    m_maxButton->setFocusPolicy(Qt::ClickFocus);
    connect(m_maxButton, &QPushButton::clicked, this, &CustomTopBarDialog::sltClickMaxRestore);
  }
  if (m_minButton) {
    m_minButton->setFocusPolicy(Qt::ClickFocus);
    connect(m_minButton, &QPushButton::clicked, this, &CustomTopBarDialog::sltClickMin);
  }
}

void CustomTopBarDialog::CloseDialog() { close(); }

void CustomTopBarDialog::sltCloseDialog() { CloseDialog(); }

void CustomTopBarDialog::sltClickMin() { showMinimized(); }

void CustomTopBarDialog::sltClickMaxRestore() {
  if (isMaximized()) {
    showNormal();
    setGeometry(m_restoreGeometry);
    if (m_maxButton) m_maxButton->setToolTip(QStringLiteral("最大化"));
  } else {
    m_restoreGeometry = geometry();
    showMaximized();
    if (m_maxButton) m_maxButton->setToolTip(QStringLiteral("还原"));
  }
}

bool CustomTopBarDialog::insideTopBar(const QPoint& localPos) const {
  return m_topBar && QRect(0, 0, m_topBar->width(), m_topBar->height()).contains(localPos);
}

void CustomTopBarDialog::mousePressEvent(QMouseEvent* event) {
  if (isFullScreen()) return;
  if (event->button() == Qt::LeftButton && m_topBar) {
    m_dragOffset = rounded(event->screenPos()) - frameGeometry().topLeft();
    if (insideTopBar(rounded(event->localPos()))) m_pressed = true;
  }
  event->accept();
}

void CustomTopBarDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (isFullScreen()) return;
  m_pressed = false;
  event->accept();
}

void CustomTopBarDialog::mouseMoveEvent(QMouseEvent* event) {
  if (isFullScreen()) return;
  if ((event->buttons() & Qt::LeftButton) && m_pressed) {
    const QPoint global = rounded(event->screenPos());
    if (!isMaximized()) {
      move(global - m_dragOffset);
    } else {
      // Dragging out of the maximised state: restore under the cursor,
      // keeping the cursor's relative horizontal position and its height
      // below the top edge.
      const QPoint local = rounded(event->localPos());
      const int x1 = m_restoreGeometry.left();
      const int x2 = m_restoreGeometry.right();
      const float f = static_cast<float>(local.x()) / static_cast<float>(width()) *
                          static_cast<float>(x2 - x1 + 1) +
                      static_cast<float>(x1);
      const int fx = static_cast<int>(f);
      m_restoreGeometry.moveTopLeft(QPoint(x1 + global.x() - fx, global.y() - local.y()));
      sltClickMaxRestore();
      m_dragOffset = global - frameGeometry().topLeft();
    }
  }
  event->accept();
}

void CustomTopBarDialog::mouseDoubleClickEvent(QMouseEvent* event) {
  if (isFullScreen() || !m_doubleClickToggles || !m_maxButton || !m_minButton) return;
  if ((event->buttons() & Qt::LeftButton) && m_topBar && insideTopBar(rounded(event->localPos())))
    sltClickMaxRestore();
  event->accept();
}

void CustomTopBarDialog::paintEvent(QPaintEvent* event) { QDialog::paintEvent(event); }
