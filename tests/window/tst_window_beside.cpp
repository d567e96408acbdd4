// The demo and the terminal's window beside each other on the smallest
// screen they are laid out for, 1366 x 768, on a virtual X display: the
// demo at the left edge, the terminal's window (compact) in the rest, no
// overlap, nothing of a customer screen cut off. Screens with room for it
// keep the terminal window's usual size.
#include "WindowFixture.h"

#include "BesidePlacement.h"
#include "EvaluatorScreen.h"
#include "InfoScreen.h"
#include "KeypadScreen.h"
#include "MainDialog.h"
#include "SignatureScreen.h"
#include "StatePanel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

class TestWindowBeside : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void sideBySideOn1366x768();
  void largerScreensKeepTheUsualSize();
  void compactAndBackAgain();

 private:
  WindowFixture f;
};

void TestWindowBeside::initTestCase() { QVERIFY(f.start(true)); }

void TestWindowBeside::cleanupTestCase() { f.stop(); }

void TestWindowBeside::sideBySideOn1366x768() {
  QScreen* screen = QGuiApplication::primaryScreen();
  QVERIFY(screen != nullptr);
  QCOMPARE(screen->geometry().size(), QSize(1366, 768));
  const QRect avail = screen->availableGeometry();

  TerminalWindow& terminal = f.window();
  const QPoint demoCorner = ShowBeside(&terminal, screen);
  QCOMPARE(demoCorner, avail.topLeft());
  QVERIFY(terminal.compact());

  // The demo as TLX_Demo --beside places it.
  MainDialog demo(nullptr, "/nonexistent/libtlxdev.so");
  demo.move(screen->availableGeometry().topLeft());
  demo.show();
  QVERIFY(QTest::qWaitForWindowExposed(&demo));
  QCoreApplication::processEvents();
  QTRY_COMPARE(terminal.frameGeometry().topLeft(),
               QPoint(avail.left() + kDemoWindowWidth, avail.top()));

  const QRect demoFrame = demo.frameGeometry();
  const QRect terminalFrame = terminal.frameGeometry();
  QCOMPARE(demoFrame, QRect(avail.topLeft(), QSize(944, 583)));
  QVERIFY2(avail.contains(terminalFrame), qPrintable(QStringLiteral("terminal window %1,%2 %3x%4")
                                                         .arg(terminalFrame.x())
                                                         .arg(terminalFrame.y())
                                                         .arg(terminalFrame.width())
                                                         .arg(terminalFrame.height())));
  QVERIFY(!demoFrame.intersects(terminalFrame));
  // The compact window got the width the demo leaves, not more than its
  // layout allows to shrink to.
  QVERIFY2(terminal.minimumSizeHint().width() <= terminalFrame.width(),
           qPrintable(QString::number(terminal.minimumSizeHint().width())));
  QVERIFY2(terminal.minimumSizeHint().height() <= terminalFrame.height(),
           qPrintable(QString::number(terminal.minimumSizeHint().height())));

  // Every customer screen fits the screen area whole: the PIN pad and the
  // keypad keys, the evaluator's and the information's buttons.
  QStackedWidget* stack = terminal.findChild<QStackedWidget*>(QStringLiteral("StackScreen"));
  QVERIFY(stack != nullptr);
  const QSize area = stack->size();
  for (QWidget* s : {static_cast<QWidget*>(terminal.infoScreen()),
                     static_cast<QWidget*>(terminal.evaluatorScreen()),
                     static_cast<QWidget*>(terminal.keypadScreen()),
                     static_cast<QWidget*>(terminal.signatureScreen())}) {
    const QSize need = s->minimumSizeHint();
    QVERIFY2(need.width() <= area.width() && need.height() <= area.height(),
             qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5")
                            .arg(QString::fromLatin1(s->metaObject()->className()))
                            .arg(need.width())
                            .arg(need.height())
                            .arg(area.width())
                            .arg(area.height())));
  }
  // The state and the wire are tabs under the screen.
  QTabWidget* tabs = terminal.findChild<QTabWidget*>(QStringLiteral("TabsCompact"));
  QVERIFY(tabs != nullptr);
  QCOMPARE(tabs->count(), 2);
}

void TestWindowBeside::largerScreensKeepTheUsualSize() {
  const QSize usual(980, 720);
  const BesidePlacement p = PlaceBeside(QRect(0, 0, 2560, 1400), kDemoWindowWidth, usual);
  QVERIFY(!p.compact);
  QCOMPARE(p.terminal, QRect(2560 - 980, 0, 980, 720));
  QVERIFY(!QRect(p.demo, QSize(944, 583)).intersects(p.terminal));
  // 1920 pixels leave 976: a little short of the usual width.
  const BesidePlacement hd = PlaceBeside(QRect(0, 0, 1920, 1050), kDemoWindowWidth, usual);
  QVERIFY(hd.compact);
  QCOMPARE(hd.terminal, QRect(944, 0, 976, 1050));
  // A screen with a panel on the left: both move right with the area.
  const BesidePlacement q = PlaceBeside(QRect(64, 0, 1302, 740), kDemoWindowWidth, usual);
  QVERIFY(q.compact);
  QCOMPARE(q.demo, QPoint(64, 0));
  QCOMPARE(q.terminal, QRect(64 + 944, 0, 1366 - 64 - 944, 740));
}

void TestWindowBeside::compactAndBackAgain() {
  TerminalWindow& terminal = f.window();
  terminal.setCompact(true);
  terminal.setCompact(false);
  QVERIFY(!terminal.compact());
  QVERIFY(terminal.findChild<QTabWidget*>(QStringLiteral("TabsCompact")) == nullptr);
  // The state panel is back beside the screen, the wire below both.
  QWidget* state = terminal.statePanel();
  QWidget* screen = terminal.findChild<QWidget*>(QStringLiteral("FrameScreen"));
  QCOMPARE(state->parentWidget(), static_cast<QWidget*>(&terminal));
  QCOMPARE(screen->minimumSize(), QSize(640, 440));
  terminal.resize(980, 720);
  QCoreApplication::processEvents();
  QTRY_VERIFY(state->geometry().left() >= screen->geometry().right());
}

QTEST_MAIN(TestWindowBeside)
#include "tst_window_beside.moc"
