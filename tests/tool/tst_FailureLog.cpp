// Why a test failed: the tool's failure log in its working directory, one
// line per failed call, capped for long runs, and the status bar note
// after a run with failures.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "FailureLog.h"
#include "RunDirectory.h"
#include "Terminal.h"
#include "TestRecords.h"
#include "TestThread.h"
#include "ToolWindow.h"

namespace {

const QString kRefused = QStringLiteral("unexpected or refused reply");

QStringList ReadLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

// "# N earlier failures dropped; ..." -> N, or -1 for another line.
int DroppedCount(const QString& line) {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("^# (\\d+) earlier failures dropped; this log keeps "
                                        "the latest (\\d+)$"))
          .match(line);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

void SetLoop(ToolWindow& w, int loops) {
  w.setField("EditCom_5", QString::number(loops));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setField("EditCom_4", QStringLiteral("1"));
}

}  // namespace

class FailureLogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void refusingTerminalLogsEveryFailedCall();
  void cleanRunLeavesNoLogAndNoNote();
  void longRunKeepsOnlyTheLatestFailures();
  void capDropsOldestLinesInOrder();
  void stopIsLoggedAsStoppedNotAsFailure();

 private:
  QString logPath() const { return m_dir.filePath(QString::fromLatin1(FailureLog::kFileName)); }

  RunDirectory m_dir;
  Terminal m_terminal;
};

void FailureLogTest::initTestCase() {
  QVERIFY2(m_dir.isValid(), "libtlxdev.so must be in the working directory");
  QVERIFY(m_dir.write(QStringLiteral("ad.jpg"), QByteArray(3000, 'j')));
  QVERIFY(m_dir.write(QStringLiteral("hwBack.pdf"), QByteArray("%PDF-1.4\n")));
  QVERIFY(m_terminal.start());
}

void FailureLogTest::init() {
  m_terminal.engine().SetCustomer(Terminal::Quick());
  m_terminal.engine().ClearFaults();
  m_terminal.engine().ClearHistory();
}

void FailureLogTest::refusingTerminalLogsEveryFailedCall() {
  // The terminal refuses every HID transfer, so the download and the
  // signature's document download fail with -7; the keypad entry passes.
  m_terminal.engine().SetFault("HIDCHANGE", {tlxsim::FaultKind::Refuse});
  ToolWindow w;
  SetLoop(w, 2);
  w.setChecked("cbx_numpad");
  w.setChecked("cbx_sign");
  w.setChecked("cbx_dwn");
  w.setField("edit_filepath", m_dir.filePath(QStringLiteral("ad.jpg")));
  w.start();
  QVERIFY(WaitIdle(30000));
  QCOMPARE(g_Records.numpadPassed.load(), 2);
  QCOMPARE(g_Records.signPassed.load(), 0);
  QCOMPARE(g_Records.dwnPassed.load(), 0);

  const QStringList lines = ReadLines(logPath());
  QCOMPARE(lines.size(), 4);
  const QRegularExpression stamp(
      QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$"));
  const QStringList tests{QStringLiteral("电子签名"), QStringLiteral("文件下载")};
  const QStringList functions{QStringLiteral("TLX_StartSign"), QStringLiteral("TLX_DownLoadFile")};
  for (int i = 0; i < lines.size(); ++i) {
    const QStringList f = lines[i].split(QLatin1Char('\t'));
    QCOMPARE(f.size(), 5);
    QVERIFY2(stamp.match(f[0]).hasMatch(), qPrintable(f[0]));
    QCOMPARE(f[1], tests[i % 2]);
    QCOMPARE(f[2], functions[i % 2]);
    QCOMPARE(f[3], QStringLiteral("-7"));
    QCOMPARE(f[4], kRefused);
  }

  QTRY_VERIFY(!w.statusBar()->currentMessage().isEmpty());
  const QString note = w.statusBar()->currentMessage();
  QVERIFY2(note.contains(QStringLiteral("4 次调用失败")), qPrintable(note));
  QVERIFY2(note.contains(QFileInfo(logPath()).absoluteFilePath()), qPrintable(note));
  QVERIFY2(!note.contains(QStringLiteral("只保留")), qPrintable(note));
  // The window itself stays as it is drawn: status view and counters.
  QVERIFY(w.view()->toPlainText().contains(QStringLiteral("文件下载：0/2")));
}

void FailureLogTest::cleanRunLeavesNoLogAndNoNote() {
  m_terminal.engine().SetFault("HIDCHANGE", {tlxsim::FaultKind::Refuse, 0, 1});
  ToolWindow w;
  SetLoop(w, 1);
  w.setChecked("cbx_dwn");
  w.setField("edit_filepath", m_dir.filePath(QStringLiteral("ad.jpg")));
  w.start();
  QVERIFY(WaitIdle(30000));
  QCOMPARE(ReadLines(logPath()).size(), 1);
  QTRY_VERIFY(!w.statusBar()->currentMessage().isEmpty());

  // The next run has no failure: the earlier log goes and so does the note.
  w.start();
  QVERIFY(WaitIdle(30000));
  QCOMPARE(g_Records.dwnPassed.load(), 1);
  QVERIFY(!QFile::exists(logPath()));
  QTRY_VERIFY(w.statusBar()->currentMessage().isEmpty());
}

void FailureLogTest::longRunKeepsOnlyTheLatestFailures() {
  m_terminal.engine().SetFault("HIDCHANGE", {tlxsim::FaultKind::Refuse});
  ToolWindow w;
  g_pThread->failures.setCap(20);
  SetLoop(w, 50);
  w.setChecked("cbx_dwn");
  w.setField("edit_filepath", m_dir.filePath(QStringLiteral("ad.jpg")));
  w.start();
  QVERIFY(WaitIdle(60000));
  QCOMPARE(g_Records.dwnTried.load(), 50);

  const QStringList lines = ReadLines(logPath());
  QVERIFY(!lines.isEmpty());
  const int dropped = DroppedCount(lines.first());
  QVERIFY2(dropped > 0, qPrintable(lines.first()));
  QVERIFY(lines.first().endsWith(QStringLiteral("the latest 20")));
  const int kept = lines.size() - 1;
  QVERIFY2(kept <= 20 && kept >= 18, qPrintable(QString::number(kept)));
  QCOMPARE(dropped + kept, 50);
  for (int i = 1; i < lines.size(); ++i) {
    QVERIFY(lines[i].endsWith(QStringLiteral("\tTLX_DownLoadFile\t-7\t") + kRefused));
  }
  QCOMPARE(g_pThread->failures.failures(), 50);
  QTRY_VERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("50 次调用失败")));
  QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("只保留最近 20 条")));
}

void FailureLogTest::stopIsLoggedAsStoppedNotAsFailure() {
  // Nobody answers the keypad: the entry waits until the stop cancels it.
  m_terminal.engine().SetCustomer(Terminal::Silent());
  ToolWindow w;
  SetLoop(w, 3);
  w.setField("EditCom_4", QStringLiteral("60"));
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(QTest::qWaitFor(
      [&] {
        return m_terminal.count(QByteArray("\x1b"
                                           "FA\r\n")) == 1;
      },
      10000));
  w.stop();
  QVERIFY(!WorkerBusy());
  // Counted as the loop's rules count it: tried, not passed.
  QCOMPARE(g_Records.numpadTried.load(), 1);
  QCOMPARE(g_Records.numpadPassed.load(), 0);

  const QStringList lines = ReadLines(logPath());
  QCOMPARE(lines.size(), 1);
  const QStringList f = lines.first().split(QLatin1Char('\t'));
  QCOMPARE(f.size(), 5);
  QCOMPARE(f[1], QStringLiteral("数字键盘"));
  QCOMPARE(f[2], QStringLiteral("TLX_StartKeyboard"));
  QCOMPARE(f[3], QStringLiteral("-9"));
  QCOMPARE(f[4], QStringLiteral("stopped: read cancelled"));
  QCOMPARE(g_pThread->failures.failures(), 0);
  QCOMPARE(g_pThread->failures.stopped(), 1);

  QTRY_VERIFY(!w.statusBar()->currentMessage().isEmpty());
  const QString note = w.statusBar()->currentMessage();
  QVERIFY2(note.contains(QStringLiteral("1 次调用被停止")), qPrintable(note));
  QVERIFY2(!note.contains(QStringLiteral("次调用失败")), qPrintable(note));
}

void FailureLogTest::capDropsOldestLinesInOrder() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("failures.log"));
  FailureLog log(path);
  log.setCap(10);
  QCOMPARE(log.cap(), 10);
  log.begin();
  QVERIFY(!QFile::exists(path));
  for (int i = 1; i <= 25; ++i) log.add(QStringLiteral("t%1").arg(i), "TLX_GetVer", -2, "late");
  log.end();

  const QStringList lines = ReadLines(path);
  const int dropped = DroppedCount(lines.first());
  const int kept = lines.size() - 1;
  QCOMPARE(dropped + kept, 25);
  QVERIFY(kept <= 10);
  // The kept lines are the latest ones, oldest first.
  for (int k = 0; k < kept; ++k) {
    const QStringList f = lines[k + 1].split(QLatin1Char('\t'));
    QCOMPARE(f.value(1), QStringLiteral("t%1").arg(dropped + 1 + k));
  }
  QCOMPARE(log.failures(), 25);
  QCOMPARE(log.dropped(), dropped);

  // A cap below ten is raised to ten; a new run starts with an empty log.
  log.setCap(3);
  QCOMPARE(log.cap(), 10);
  log.begin();
  QVERIFY(!QFile::exists(path));
  QCOMPARE(log.failures(), 0);
  log.add(QStringLiteral("t"), "TLX_GetVer", -99, nullptr);
  log.end();
  QCOMPARE(ReadLines(path).size(), 1);
  QVERIFY(ReadLines(path).first().endsWith(QStringLiteral("\tTLX_GetVer\t-99\t")));
}

QTEST_MAIN(FailureLogTest)
#include "tst_FailureLog.moc"
