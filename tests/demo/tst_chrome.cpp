// The frameless window chrome: dragging the top bar moves the window, a
// drag that starts below it does not, and the close button closes.
#include "MainDialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

class TestChrome : public QObject {
  Q_OBJECT

 private slots:
  void dragInsideTopBarMovesWindow();
  void dragBelowTopBarDoesNotMove();
  void releaseEndsDrag();
  void doubleClickDoesNotMaximise();
  void closeButtonClosesMainWindow();
  void closeButtonHidesSettings();
  void maximiseRestoreAndDragOut();
};

static void send(QWidget* w, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
                 Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

// Press at `from` (window coordinates), move the cursor by `delta` with the
// left button held, release.
static void drag(QWidget* w, const QPoint& from, const QPoint& delta) {
  send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  // The window may move under the cursor; the cursor's global position is
  // what counts, so express the target relative to the start position.
  const QPoint globalTarget = w->mapToGlobal(from) + delta;
  QMouseEvent move(QEvent::MouseMove, QPointF(w->mapFromGlobal(globalTarget)),
                   QPointF(globalTarget), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
  const QPoint releaseAt = w->mapFromGlobal(globalTarget);
  send(w, QEvent::MouseButtonRelease, releaseAt, Qt::LeftButton, Qt::NoButton);
}

void TestChrome::dragInsideTopBarMovesWindow() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.move(100, 100);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QPoint before = w.pos();
  drag(&w, QPoint(300, 20), QPoint(40, 25));
  QCOMPARE(w.pos(), before + QPoint(40, 25));
}

void TestChrome::dragBelowTopBarDoesNotMove() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.move(100, 100);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QPoint before = w.pos();
  drag(&w, QPoint(300, 60), QPoint(40, 25));
  QCOMPARE(w.pos(), before);
  drag(&w, QPoint(600, 500), QPoint(-30, -10));
  QCOMPARE(w.pos(), before);
}

void TestChrome::releaseEndsDrag() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.move(100, 100);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  drag(&w, QPoint(300, 20), QPoint(10, 10));
  const QPoint after = w.pos();
  // A move with the button held but no press in the top bar since the
  // release must not move the window.
  QMouseEvent move(QEvent::MouseMove, QPointF(350, 300), QPointF(w.mapToGlobal(QPoint(350, 300))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &move);
  QCOMPARE(w.pos(), after);
}

void TestChrome::doubleClickDoesNotMaximise() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  send(&w, QEvent::MouseButtonDblClick, QPoint(300, 20), Qt::LeftButton, Qt::LeftButton);
  QVERIFY(!w.isMaximized());
}

void TestChrome::closeButtonClosesMainWindow() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QPushButton* close = w.findChild<QPushButton*>(QStringLiteral("menuButton_Close"));
  QVERIFY(close);
  QTest::mouseClick(close, Qt::LeftButton);
  QVERIFY(!w.isVisible());
}

void TestChrome::closeButtonHidesSettings() {
  MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
  w.show();
  QPushButton* settings = w.findChild<QPushButton*>(QStringLiteral("pushButton_2"));
  QVERIFY(settings);
  QTest::mouseClick(settings, Qt::LeftButton);
  QVERIFY(w.configDialog().isVisible());
  QCOMPARE(w.configDialog().windowModality(), Qt::ApplicationModal);
  QPushButton* close = w.configDialog().findChild<QPushButton*>(QStringLiteral("menuButton_Close"));
  QVERIFY(close);
  QTest::mouseClick(close, Qt::LeftButton);
  QVERIFY(!w.configDialog().isVisible());
  QVERIFY(w.isVisible());
}

// A dialog that passes every chrome option: top bar, maximise and minimise
// buttons, double click toggles.
class FullChrome : public CustomTopBarDialog {
 public:
  FullChrome()
      : bar(new QWidget(this)), maxButton(new QPushButton(bar)), minButton(new QPushButton(bar)) {
    bar->setGeometry(0, 0, 400, 40);
    Init(bar, nullptr, maxButton, minButton, true, false, true);
  }
  QWidget* bar;
  QPushButton* maxButton;
  QPushButton* minButton;
};

void TestChrome::maximiseRestoreAndDragOut() {
  FullChrome w;
  w.setGeometry(100, 100, 400, 300);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QRect normal = w.geometry();

  // Double click in the top bar maximises, again restores.
  send(&w, QEvent::MouseButtonDblClick, QPoint(200, 20), Qt::LeftButton, Qt::LeftButton);
  QTRY_VERIFY(w.isMaximized());
  QCOMPARE(w.maxButton->toolTip(), QStringLiteral("还原"));
  QTRY_VERIFY(w.width() > normal.width());
  send(&w, QEvent::MouseButtonDblClick, QPoint(200, 20), Qt::LeftButton, Qt::LeftButton);
  QTRY_VERIFY(!w.isMaximized());
  QCOMPARE(w.maxButton->toolTip(), QStringLiteral("最大化"));
  QTRY_COMPARE(w.geometry(), normal);
  // Below the top bar a double click changes nothing.
  send(&w, QEvent::MouseButtonDblClick, QPoint(200, 100), Qt::LeftButton, Qt::LeftButton);
  QVERIFY(!w.isMaximized());

  // Dragging the maximised window restores it under the cursor: same
  // relative horizontal position, same height below the top edge.
  w.sltClickMaxRestore();
  QTRY_VERIFY(w.isMaximized());
  QTRY_VERIFY(w.width() > normal.width());
  const QRect maximised = w.frameGeometry();
  const QPoint pressAt(300, 20);  // inside the 400 px top bar
  send(&w, QEvent::MouseButtonPress, pressAt, Qt::LeftButton, Qt::LeftButton);
  const QPoint local(pressAt.x() + 20, 30);
  const QPoint global = maximised.topLeft() + local;
  QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(global), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&w, &move);
  QTRY_VERIFY(!w.isMaximized());
  const int f = static_cast<int>(
      static_cast<float>(local.x()) / maximised.width() * normal.width() + normal.left());
  QTRY_COMPARE(w.geometry(), QRect(QPoint(normal.left() + global.x() - f, global.y() - local.y()),
                                   normal.size()));
  // The drag goes on from there.
  const QPoint before = w.pos();
  QMouseEvent further(QEvent::MouseMove, QPointF(w.mapFromGlobal(global + QPoint(7, 9))),
                      QPointF(global + QPoint(7, 9)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &further);
  QCOMPARE(w.pos(), before + QPoint(7, 9));
  send(&w, QEvent::MouseButtonRelease, w.mapFromGlobal(global), Qt::LeftButton, Qt::NoButton);
}

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
