// The terminal window beside the screen: the state the host set (volumes,
// display switches, PIN length, stored media, restarts) and the wire pane.
#include "WindowFixture.h"

#include "IdleScreen.h"
#include "StatePanel.h"
#include "tlxdev.h"

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

namespace {
constexpr int kHid = 0;
}

class TestWindowState : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();

  void panelFollowsWhatTheHostSets();
  void storedMediaAreListedWithTheirSizes();
  void restartDarkensTheScreenForAMoment();
  void wirePaneHasEveryCommandAndAnswer();
  void wirePaneKeepsFollowingPastLongLines();

 private:
  WindowFixture f;
  QTemporaryDir m_dir;
};

void TestWindowState::initTestCase() {
  QVERIFY(m_dir.isValid());
  QVERIFY2(f.start(true), "virtual terminal not available");
}

void TestWindowState::cleanupTestCase() { f.stop(); }

void TestWindowState::panelFollowsWhatTheHostSets() {
  StatePanel* panel = f.window().statePanel();
  QCOMPARE(panel->field("LabelModel"), QStringLiteral("R40"));
  QVERIFY(panel->field("LabelDisplay").contains(QStringLiteral("评价器：未设置")));
  QCOMPARE(TLX_SetVolume(kHid, 0, 9600, 1, 4), 0);
  QCOMPARE(TLX_SetVolume(kHid, 0, 9600, 3, 12), 0);
  QCOMPARE(TLX_SetShowDISP(kHid, 0, 9600, 3, 0), 0);  // module 3 is the evaluator (4)
  QCOMPARE(TLX_SetShowDISP(kHid, 0, 9600, 1, 1), 0);
  QCOMPARE(TLX_SetPinLen(kHid, 0, 9600, 8), 0);
  QTRY_VERIFY(panel->field("LabelVolume").startsWith(QStringLiteral("系统 4/5")));
  QVERIFY(panel->field("LabelVolume").contains(QStringLiteral("媒体 12/15")));
  QTRY_VERIFY(panel->field("LabelDisplay").contains(QStringLiteral("评价器：隐藏")));
  QVERIFY(panel->field("LabelDisplay").contains(QStringLiteral("密码键盘：显示")));
  QTRY_VERIFY(panel->field("LabelPin").startsWith(QStringLiteral("长度 8")));
  // Key slots are counted; key bytes never appear.
  char key[] = "0011223344556677";
  QCOMPARE(TLX_UpdateMKey(kHid, 0, 9600, 7, key, key), 0);
  QTRY_VERIFY(panel->field("LabelKeys").startsWith(QStringLiteral("主密钥 1 个")));
  QVERIFY(!panel->field("LabelKeys").contains(QStringLiteral("0011")));
}

void TestWindowState::storedMediaAreListedWithTheirSizes() {
  StatePanel* panel = f.window().statePanel();
  QVERIFY(panel->files(0).isEmpty());
  const QString advert = m_dir.filePath(QStringLiteral("advert.png"));
  QVERIFY(WritePicture(advert, 200, 80, "PNG"));
  const qint64 size = QFileInfo(advert).size();
  QByteArray path = advert.toLocal8Bit();
  QCOMPARE(TLX_DownLoadFile(kHid, 0, 9600, 0, path.data()), 0);
  QTRY_COMPARE(panel->files(0),
               QStringList{QStringLiteral("advert.png (%1 B)").arg(QLocale::c().toString(size))});
  // The screen between prompts shows the stored advertising picture.
  auto* idle = f.window().findChild<IdleScreen*>();
  QVERIFY(idle);
  QTRY_VERIFY(!idle->findChild<QLabel*>("LabelAdvert")->pixmap(Qt::ReturnByValue).isNull());

  QCOMPARE(TLX_DownLoadFile(kHid, 0, 9600, 2, path.data()), 0);
  QTRY_COMPARE(panel->files(2).size(), 1);
  char name[] = "advert.png";
  QCOMPARE(TLX_DeleteFile(kHid, 0, 9600, 0, name), 0);
  QTRY_VERIFY(panel->files(0).isEmpty());
  QCOMPARE(panel->files(2).size(), 1);
}

void TestWindowState::restartDarkensTheScreenForAMoment() {
  QVERIFY(!f.window().dark());
  QCOMPARE(f.window().statePanel()->field("LabelRestarts"), QStringLiteral("0"));
  QCOMPARE(TLX_RestartSys(kHid, 0, 9600), 0);
  QTRY_VERIFY(f.window().dark());
  QCOMPARE(f.window().statePanel()->field("LabelRestarts"), QStringLiteral("1"));
  QTRY_VERIFY_WITH_TIMEOUT(!f.window().dark(), 5000);
  auto* stack = f.window().findChild<QStackedWidget*>("StackScreen");
  QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(f.window().findChild<IdleScreen*>()));
}

void TestWindowState::wirePaneHasEveryCommandAndAnswer() {
  char version[TLX_VERSION_SIZE] = {0};
  QCOMPARE(TLX_GetVer(kHid, 0, 9600, version), 0);
  QTRY_VERIFY(f.window().wireLines().contains(QStringLiteral("hid recv <ESC>[0GETDEVICEINFO")));
  auto answered = [this] {
    for (const QString& line : f.window().wireLines())
      if (line.startsWith(QStringLiteral("hid send <STX>{")) &&
          line.contains(QStringLiteral("TLX-1.4.2")))
        return true;
    return false;
  };
  QTRY_VERIFY(answered());
}

void TestWindowState::wirePaneKeepsFollowingPastLongLines() {
  QPlainTextEdit* wire = f.window().findChild<QPlainTextEdit*>(QStringLiteral("EditWire"));
  QVERIFY(wire != nullptr);
  QScrollBar* bar = wire->verticalScrollBar();
  auto log = [this](const QString& line) {
    QVERIFY(QMetaObject::invokeMethod(&f.window(), "logLine", Q_ARG(QString, line)));
  };
  wire->clear();
  for (int i = 0; i < 60; ++i) log(QStringLiteral("short line %1").arg(i));
  QCoreApplication::processEvents();
  QCOMPARE(bar->value(), bar->maximum());
  QVERIFY(bar->maximum() > 0);
  QVERIFY(!wire->horizontalScrollBar()->isVisible());

  // A line wider than the pane brings the horizontal scroll bar, which
  // takes height from the pane: the newest lines stay in view all the same.
  log(QStringLiteral("hid send <STX>") + QString(600, QLatin1Char('x')));
  QTRY_VERIFY(wire->horizontalScrollBar()->isVisible());
  for (int i = 0; i < 30; ++i) {
    log(QStringLiteral("after %1").arg(i));
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), bar->maximum());
  }
  const QRect last = wire->cursorRect(QTextCursor(wire->document()->lastBlock()));
  QVERIFY2(wire->viewport()->rect().contains(last.center()),
           qPrintable(QStringLiteral("last line at y %1, view height %2")
                          .arg(last.center().y())
                          .arg(wire->viewport()->height())));

  // Scrolled up by the user, the pane stays there; back at the end it
  // follows again.
  bar->setValue(0);
  log(QStringLiteral("while scrolled up"));
  QCoreApplication::processEvents();
  QCOMPARE(bar->value(), 0);
  bar->setValue(bar->maximum());
  log(QStringLiteral("followed again"));
  QCoreApplication::processEvents();
  QCOMPARE(bar->value(), bar->maximum());
}

QTEST_MAIN(TestWindowState)
#include "tst_window_state.moc"
