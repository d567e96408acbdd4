// The loop of the tool against the virtual terminal: loop counts, the
// information text from "info.txt", and stopping a run.
#include <QFile>
#include <QTest>
#include <QTextCodec>

#include "RunDirectory.h"
#include "Terminal.h"
#include "TestParams.h"
#include "TestRecords.h"
#include "ToolWindow.h"

namespace {

const QString kNumpadStart = QStringLiteral("当前测试：数字键盘");
const QString kNumpadEnd = QStringLiteral("测试完成：数字键盘");
const QString kInfoStart = QStringLiteral("当前测试：信息交互");
const QString kInfoEnd = QStringLiteral("测试完成：信息交互");
const QByteArray kPhoneEntry(
    "\x1b"
    "FA\r\n");
const QByteArray kInfoCommand("\x1b[2A\x02");

// The terminal's text form of bytes: two characters 0x30 + nibble per byte.
QByteArray HexAsc1(const QByteArray& bytes) {
  QByteArray out;
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    out += char(0x30 + (b >> 4));
    out += char(0x30 + (b & 0x0f));
  }
  return out;
}

QByteArray Gbk(const QString& text) { return QTextCodec::codecForName("gbk")->fromUnicode(text); }

void SetLoop(ToolWindow& w, int loops, int timeout) {
  w.setField("EditCom_5", QString::number(loops));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setField("EditCom_4", QString::number(timeout));
}

}  // namespace

class LoopRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();

  void numpadLoopsWithSilentCustomerAllPass();
  void noAnswerPassesNumpadButNotEvaluator();
  void missingInfoFileEndsRunAfterStartText();
  void infoFileIsReadEveryLoopAndSentInGbk();
  void stopWhileCommandWaitsCancelsIt();
  void stopWhileIdleDoesNothing();

 private:
  RunDirectory m_dir;
  Terminal m_terminal;
};

void LoopRunTest::initTestCase() {
  QVERIFY2(m_dir.isValid(), "libtlxdev.so must be in the working directory");
  QVERIFY(m_terminal.start());
}

void LoopRunTest::init() {
  m_terminal.engine().SetCustomer(Terminal::Quick());
  m_terminal.engine().ClearFaults();
  m_terminal.engine().ClearHistory();
}

void LoopRunTest::numpadLoopsWithSilentCustomerAllPass() {
  m_terminal.engine().SetCustomer(Terminal::Silent());
  ToolWindow w;
  SetLoop(w, 3, 1);
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(w.warnings.isEmpty());
  QVERIFY(WaitIdle(30000));

  QStringList expected;
  for (int i = 0; i < 3; ++i) expected << kNumpadStart << kNumpadEnd;
  QCOMPARE(w.texts(), expected);
  QCOMPARE(g_Records.numpadTried.load(), 3);
  QCOMPARE(g_Records.numpadPassed.load(), 3);
  QCOMPARE(g_Records.loopsDone.load(), 3);
  QCOMPARE(g_Records.keypadTried.load() + g_Records.infoTried.load() + g_Records.evaTried.load() +
               g_Records.signTried.load() + g_Records.dwnTried.load(),
           0);
  QCOMPARE(m_terminal.count(kPhoneEntry), 3);
}

void LoopRunTest::noAnswerPassesNumpadButNotEvaluator() {
  // No answer at all: both calls end with -2. Only the keypad-style tests
  // take that as a pass.
  m_terminal.engine().SetFault("FA", {tlxsim::FaultKind::Silence});
  m_terminal.engine().SetFault("4R", {tlxsim::FaultKind::Silence});
  ToolWindow w;
  SetLoop(w, 1, 1);
  w.setChecked("cbx_eva");
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(WaitIdle(30000));

  QCOMPARE(g_Records.evaTried.load(), 1);
  QCOMPARE(g_Records.evaPassed.load(), 0);
  QCOMPARE(g_Records.numpadTried.load(), 1);
  QCOMPARE(g_Records.numpadPassed.load(), 1);
  QCOMPARE(g_Records.loopsDone.load(), 1);
}

void LoopRunTest::missingInfoFileEndsRunAfterStartText() {
  m_dir.remove(QStringLiteral("info.txt"));
  ToolWindow w;
  SetLoop(w, 3, 1);
  w.setChecked("cbx_info");
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(WaitIdle(10000));

  QCOMPARE(w.texts(), QStringList{kInfoStart});
  QCOMPARE(g_Records.infoTried.load(), 1);
  QCOMPARE(g_Records.infoPassed.load(), 0);
  QCOMPARE(g_Records.numpadTried.load(), 0);
  QCOMPARE(g_Records.loopsDone.load(), 0);
  QCOMPARE(m_terminal.count(kInfoCommand), 0);
  // The view keeps the last text the run reported.
  QVERIFY(w.view()->toPlainText().startsWith(QStringLiteral("[0, 3]") + kInfoStart));
}

void LoopRunTest::infoFileIsReadEveryLoopAndSentInGbk() {
  // Line ends are read in text mode; the second text stops at its NUL.
  QVERIFY(m_dir.write(QStringLiteral("info.txt"),
                      QStringLiteral("请确认本次业务\r\n金额：100元").toUtf8()));
  const QByteArray second = QStringLiteral("第二次").toUtf8() + QByteArray("\0tail", 5);
  ToolWindow w;
  int ends = 0;
  w.onText = [&](const QString& text) {
    if (text == kInfoEnd && ++ends == 1) m_dir.write(QStringLiteral("info.txt"), second);
  };
  SetLoop(w, 2, 5);
  w.setChecked("cbx_info");
  w.start();
  QVERIFY(WaitIdle(30000));

  QCOMPARE(g_Records.infoTried.load(), 2);
  QCOMPARE(g_Records.infoPassed.load(), 2);
  QList<QByteArray> shown;
  for (const QByteArray& command : m_terminal.received()) {
    if (command.startsWith(kInfoCommand)) shown << command;
  }
  QCOMPARE(shown.size(), 2);
  QCOMPARE(shown[0],
           kInfoCommand + HexAsc1(Gbk(QStringLiteral("请确认本次业务\n金额：100元"))) + "\x03");
  QCOMPARE(shown[1], kInfoCommand + HexAsc1(Gbk(QStringLiteral("第二次"))) + "\x03");
}

void LoopRunTest::stopWhileCommandWaitsCancelsIt() {
  m_terminal.engine().SetCustomer(Terminal::Silent());
  ToolWindow w;
  // Long enough that a call that was not cancelled would time out and pass.
  SetLoop(w, 3, 60);
  w.setChecked("cbx_numpad");
  w.setChecked("cbx_sign");
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return m_terminal.count(kPhoneEntry) == 1; }, 10000));

  w.stop();
  QVERIFY(!WorkerBusy());
  QCoreApplication::processEvents();
  QCOMPARE(w.texts(), (QStringList{kNumpadStart, kNumpadEnd}));
  QCOMPARE(g_Records.numpadTried.load(), 1);
  QCOMPARE(g_Records.numpadPassed.load(), 0);
  QCOMPARE(g_Records.signTried.load(), 0);
  QCOMPARE(g_Records.loopsDone.load(), 0);
}

void LoopRunTest::stopWhileIdleDoesNothing() {
  ToolWindow w;
  w.stop();
  QVERIFY(w.warnings.isEmpty());
  QVERIFY(w.view()->toPlainText().isEmpty());

  SetLoop(w, 1, 5);
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(WaitIdle(10000));
  const QString view = w.view()->toPlainText();
  const QStringList texts = w.texts();
  QCOMPARE(g_Records.numpadPassed.load(), 1);

  w.stop();
  QCoreApplication::processEvents();
  QVERIFY(w.warnings.isEmpty());
  QCOMPARE(w.view()->toPlainText(), view);
  QCOMPARE(w.texts(), texts);
  QCOMPARE(g_Records.numpadTried.load(), 1);
  QCOMPARE(g_Records.numpadPassed.load(), 1);
}

QTEST_MAIN(LoopRunTest)
#include "tst_LoopRun.moc"
