// The frameless window chrome: dragging the top bar moves the window, a
// drag that starts below it does not, and the close button closes.
#include "MainDialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

class TestChrome : public QObject
{
    Q_OBJECT

private slots:
    void dragInsideTopBarMovesWindow();
    void dragBelowTopBarDoesNotMove();
    void releaseEndsDrag();
    void doubleClickDoesNotMaximise();
    void closeButtonClosesMainWindow();
    void closeButtonHidesSettings();
};

static void send(QWidget *w, QEvent::Type type, const QPoint &local, Qt::MouseButton button,
                 Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Press at `from` (window coordinates), move the cursor by `delta` with the
// left button held, release.
static void drag(QWidget *w, const QPoint &from, const QPoint &delta)
{
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

void TestChrome::dragInsideTopBarMovesWindow()
{
    MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
    w.move(100, 100);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint before = w.pos();
    drag(&w, QPoint(300, 20), QPoint(40, 25));
    QCOMPARE(w.pos(), before + QPoint(40, 25));
}

void TestChrome::dragBelowTopBarDoesNotMove()
{
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

void TestChrome::releaseEndsDrag()
{
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

void TestChrome::doubleClickDoesNotMaximise()
{
    MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    send(&w, QEvent::MouseButtonDblClick, QPoint(300, 20), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!w.isMaximized());
}

void TestChrome::closeButtonClosesMainWindow()
{
    MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QPushButton *close = w.findChild<QPushButton *>(QStringLiteral("menuButton_Close"));
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!w.isVisible());
}

void TestChrome::closeButtonHidesSettings()
{
    MainDialog w(nullptr, "/nonexistent/libtlxdev.so");
    w.show();
    QPushButton *settings = w.findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    QVERIFY(settings);
    QTest::mouseClick(settings, Qt::LeftButton);
    QVERIFY(w.configDialog().isVisible());
    QCOMPARE(w.configDialog().windowModality(), Qt::ApplicationModal);
    QPushButton *close = w.configDialog().findChild<QPushButton *>(QStringLiteral("menuButton_Close"));
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!w.configDialog().isVisible());
    QVERIFY(w.isVisible());
}

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
