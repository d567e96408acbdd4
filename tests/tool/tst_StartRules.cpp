// What the window does with its form: refused starts, the parameters it
// hands to the worker, the port label, and ending a run by pause, stop
// request or window close.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include "RunDirectory.h"
#include "Terminal.h"
#include "TestParams.h"
#include "TestRecords.h"
#include "TestThread.h"
#include "ToolWindow.h"

namespace {

const QByteArray kPhoneEntry(
    "\x1b"
    "FA\r\n");

}  // namespace

class StartRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void refusedWithoutAnyTest();
  void refusedDownloadWithEmptyPath();
  void refusedDownloadWithPathLongerThanFilePath();
  void pathOutsideLatin1ReachesWorkerWithQuestionMarks();
  void refusedWhileRunningLeavesRunAlone();
  void refusedWhenLibraryIsNotBound();
  void formFillsParams();
  void portLabelFollowsPortField();
  void negativeIntervalMeansNoPause();
  void stopRequestCutsLongPauseShort();
  void closingWindowStopsRun();

 private:
  RunDirectory m_dir;
  Terminal m_terminal;
};

void StartRulesTest::initTestCase() {
  QVERIFY2(m_dir.isValid(), "libtlxdev.so must be in the working directory");
  QVERIFY(m_terminal.start());
}

void StartRulesTest::init() { m_terminal.engine().SetCustomer(Terminal::Quick()); }

void StartRulesTest::cleanup() {
  // A failed check must not leave a run behind for the next case.
  if (g_pThread && WorkerBusy()) {
    g_pThread->requestInterruption();
    WaitIdle(70000);
  }
}

void StartRulesTest::refusedWithoutAnyTest() {
  ToolWindow w;
  g_Records.numpadTried = 7;
  w.start();
  QCOMPARE(w.warnings, QStringList{QStringLiteral("至少选择一个测试项")});
  QVERIFY(!WorkerBusy());
  // The refused start has zeroed the counters all the same.
  QCOMPARE(g_Records.numpadTried.load(), 0);
}

void StartRulesTest::refusedDownloadWithEmptyPath() {
  ToolWindow w;
  w.setChecked("cbx_numpad");
  w.setChecked("cbx_dwn");
  w.start();
  QCOMPARE(w.warnings, QStringList{QStringLiteral("请正确填写文件路径")});
  QVERIFY(!WorkerBusy());
}

void StartRulesTest::refusedDownloadWithPathLongerThanFilePath() {
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("1"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setChecked("cbx_dwn");
  const QString tooLong = QStringLiteral("/") + QString(int(sizeof(g_Params.filePath)) - 1, 'a');
  w.setField("edit_filepath", tooLong);
  w.start();
  QCOMPARE(w.warnings, QStringList{QStringLiteral("请正确填写文件路径")});
  QVERIFY(!WorkerBusy());

  // One byte less fits with its NUL and starts the run.
  const QString longest = tooLong.left(tooLong.size() - 1);
  w.setField("edit_filepath", longest);
  w.start();
  QCOMPARE(w.warnings.size(), 1);
  QCOMPARE(QByteArray(g_Params.filePath), longest.toLatin1());
  QVERIFY(WaitIdle(10000));
  // No such file on the host: tried, not passed.
  QCOMPARE(g_Records.dwnTried.load(), 1);
  QCOMPARE(g_Records.dwnPassed.load(), 0);
}

void StartRulesTest::pathOutsideLatin1ReachesWorkerWithQuestionMarks() {
  QVERIFY(m_dir.write(QStringLiteral("m??.png"), QByteArray("\x89PNG\r\n\x1a\n", 8)));
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("1"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setChecked("cbx_dwn");
  w.setComboIndex("cbx_media_type", 2);
  w.setField("edit_filepath", m_dir.filePath(QStringLiteral("m媒体.png")));
  w.start();
  QVERIFY(w.warnings.isEmpty());
  QCOMPARE(QByteArray(g_Params.filePath), m_dir.filePath(QStringLiteral("m??.png")).toLatin1());
  QCOMPARE(g_Params.mediaType, 2);
  QVERIFY(WaitIdle(20000));
  // The file named with '?' is the one that was sent.
  QCOMPARE(g_Records.dwnPassed.load(), 1);
}

void StartRulesTest::refusedWhileRunningLeavesRunAlone() {
  m_terminal.engine().SetCustomer(Terminal::Silent());
  const int entries = m_terminal.count(kPhoneEntry);
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("0"));
  w.setField("EditCom_4", QStringLiteral("60"));
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return m_terminal.count(kPhoneEntry) == entries + 1; }, 10000));

  w.setChecked("cbx_numpad", false);
  w.setField("EditCom_5", QStringLiteral("5"));
  w.start();
  QCOMPARE(w.warnings, QStringList{QStringLiteral("当前正在测试中")});
  QVERIFY(WorkerBusy());
  QCOMPARE(g_Records.numpadTried.load(), 1);
  QCOMPARE(g_Params.loopCount, 0);
  QCOMPARE(g_Params.testNumpad, 1);

  w.stop();
  QVERIFY(!WorkerBusy());
}

void StartRulesTest::refusedWhenLibraryIsNotBound() {
  QTemporaryDir empty;
  QVERIFY(QDir::setCurrent(empty.path()));
  ToolWindow w;  // finds no ./libtlxdev.so
  QVERIFY(QDir::setCurrent(m_dir.path()));
  QVERIFY(!g_pThread->sdk.IsBound());

  w.setChecked("cbx_numpad");
  w.start();
  QCOMPARE(w.warnings.size(), 1);
  QVERIFY(w.warnings[0].contains(QStringLiteral("libtlxdev.so")));
  QVERIFY(!WorkerBusy());
  QVERIFY(w.texts().isEmpty());
  w.stop();
  QCOMPARE(w.warnings.size(), 1);
}

void StartRulesTest::formFillsParams() {
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("1"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setField("EditCom_4", QStringLiteral("7"));
  w.setComboIndex("CbxBP", 4);
  w.setComboIndex("CbxBaud", 2);
  w.setChecked("cbx_keypad");
  w.setChecked("cbx_eva");
  w.start();
  QVERIFY(w.warnings.isEmpty());
  QCOMPARE(g_Params.port, 0);
  QCOMPARE(g_Params.bp, 'K');
  QCOMPARE(g_Params.baud, 115200);
  QCOMPARE(g_Params.timeout, 7);
  QCOMPARE(g_Params.interval, 0);
  QCOMPARE(g_Params.loopCount, 1);
  QCOMPARE(g_Params.testKeypad, 1);
  QCOMPARE(g_Params.testEva, 1);
  QCOMPARE(g_Params.testInfo + g_Params.testNumpad + g_Params.testSign + g_Params.testDwn, 0);
  QCOMPARE(g_Params.filePath[0], '\0');
  QVERIFY(WaitIdle(20000));
  QCOMPARE(g_Records.keypadPassed.load(), 1);
  QCOMPARE(g_Records.evaPassed.load(), 1);

  // "无" means no channel letter; an unparsable number counts as 0.
  w.setComboIndex("CbxBP", 0);
  w.setField("EditCom_5", QStringLiteral("x1"));
  w.setField("EditCom_4", QStringLiteral("1"));
  w.setChecked("cbx_keypad", false);
  w.setChecked("cbx_eva", false);
  w.setChecked("cbx_numpad");
  w.start();
  QCOMPARE(g_Params.bp, '\0');
  QCOMPARE(g_Params.loopCount, 0);
  w.stop();
  QVERIFY(!WorkerBusy());
}

void StartRulesTest::portLabelFollowsPortField() {
  ToolWindow w;
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(HID)"));
  w.setField("EditCom_2", QStringLiteral("2"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(ttyS1)"));
  w.setField("EditCom_2", QStringLiteral("1"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(ttyS0)"));
  w.setField("EditCom_2", QString());
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(HID)"));
  QCOMPARE(w.fieldText("EditCom_2"), QStringLiteral("0"));
  w.setField("EditCom_2", QStringLiteral("07"));
  QCOMPARE(w.fieldText("EditCom_2"), QStringLiteral("7"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(ttyS6)"));
  w.setField("EditCom_2", QStringLiteral("abc"));
  QCOMPARE(w.fieldText("EditCom_2"), QStringLiteral("0"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(HID)"));
  // The extremes of the field: the device number is one below the port
  // number, also for the lowest int.
  w.setField("EditCom_2", QStringLiteral("-2147483648"));
  QCOMPARE(w.fieldText("EditCom_2"), QStringLiteral("-2147483648"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(ttyS-2147483649)"));
  w.setField("EditCom_2", QStringLiteral("2147483647"));
  QCOMPARE(w.labelText("LabelCom"), QStringLiteral("(ttyS2147483646)"));
}

void StartRulesTest::negativeIntervalMeansNoPause() {
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("2"));
  w.setField("EditCom_3", QStringLiteral("-5"));
  w.setChecked("cbx_numpad");
  w.start();
  QCOMPARE(g_Params.interval, -5);
  QVERIFY(WaitIdle(20000));
  QCOMPARE(g_Records.loopsDone.load(), 2);
  QCOMPARE(g_Records.numpadPassed.load(), 2);
}

void StartRulesTest::stopRequestCutsLongPauseShort() {
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("2"));
  w.setField("EditCom_3", QStringLiteral("3600"));
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return w.texts().size() == 2; }, 10000));
  g_pThread->requestInterruption();
  QVERIFY(WaitIdle(10000));
  // The loop that had finished its tests is counted; no second loop ran.
  QCOMPARE(g_Records.loopsDone.load(), 1);
  QCOMPARE(g_Records.numpadTried.load(), 1);
}

void StartRulesTest::closingWindowStopsRun() {
  m_terminal.engine().SetCustomer(Terminal::Silent());
  const int entries = m_terminal.count(kPhoneEntry);
  ToolWindow w;
  w.setField("EditCom_5", QStringLiteral("0"));
  w.setField("EditCom_4", QStringLiteral("60"));
  w.setChecked("cbx_numpad");
  w.show();
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return m_terminal.count(kPhoneEntry) == entries + 1; }, 10000));
  QVERIFY(w.close());
  QVERIFY(!WorkerBusy());
  QCOMPARE(g_Records.numpadPassed.load(), 0);
}

QTEST_MAIN(StartRulesTest)
#include "tst_StartRules.moc"
