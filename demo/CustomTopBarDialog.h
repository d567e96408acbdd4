// A frameless dialog that draws its own title bar: the window is moved by
// dragging the given top-bar widget, and optional close, maximise/restore
// and minimise buttons are wired to it.
#ifndef CUSTOMTOPBARDIALOG_H
#define CUSTOMTOPBARDIALOG_H

#include <QDialog>
#include <QPoint>
#include <QRect>

class QPushButton;

class CustomTopBarDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CustomTopBarDialog(QWidget* parent = nullptr);

  void Init(QWidget* topBar, QPushButton* closeButton, QPushButton* maximiseButton,
            QPushButton* minimiseButton, bool doubleClickToggles, bool closeHides,
            bool hideOnClose);

  virtual void CloseDialog();

 public slots:
  void sltCloseDialog();
  void sltClickMin();
  void sltClickMaxRestore();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool insideTopBar(const QPoint& localPos) const;

  bool m_pressed = false;
  QPoint m_dragOffset;
  QRect m_restoreGeometry;
  bool m_doubleClickToggles = false;
  QPushButton* m_closeButton = nullptr;
  QPushButton* m_maxButton = nullptr;
  QPushButton* m_minButton = nullptr;
  QWidget* m_topBar = nullptr;
  bool m_closeHides = false;
  bool m_hideOnClose = false;
};

#endif
