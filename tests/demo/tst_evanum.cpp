// The evaluator and number pad page: the calls run on the page's worker,
// a second start while one runs is refused, "取消" ends a waiting call
// with -9, and closing the program during a call cancels and waits.
#include "EngineState.h"
#include "PageFixture.h"
#include "TabEvaNum.h"
#include "TestThread.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using tlxsim::Fault;
using tlxsim::FaultKind;

class TestEvaNum : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();

  void evaluationRunsOnWorker();
  void evaluationAnswers_data();
  void evaluationAnswers();
  void evaluationRefusedAndBadTimeout();
  void secondPressRefused();
  void cancelEndsWaitingCall();
  void cancelWithNothingRunning();
  void phoneAndAmountModes();
  void keypadTerminalTimeout();
  void guardsAndLongFields();
  void exitDuringCallCancelsAndWaits();

 private:
  TestThread* worker() { return f.window().evaNumPage()->worker(); }
  bool waitForLines(int count, int ms = 10000);

  PageFixture f;
};

void TestEvaNum::initTestCase() {
  QVERIFY2(f.Start(), "virtual terminal or ./libtlxdev.so not available");
  QCOMPARE(g_pThread, worker());
}

void TestEvaNum::cleanupTestCase() {
  f.Stop();
  QVERIFY(g_pThread == nullptr);
}

void TestEvaNum::init() {
  QTRY_VERIFY(!worker()->isRunning());
  QCoreApplication::processEvents();
  f.Reset();
  f.SetText("EditTimeout", QStringLiteral("30"), 3);
  f.SetText("EditName", QStringLiteral("王五"));
  f.SetText("EditID", QStringLiteral("100001"));
  f.SetText("EditPhoto", QStringLiteral("photo.jpg"));
}

bool TestEvaNum::waitForLines(int count, int ms) {
  return QTest::qWaitFor([&] { return f.Lines().size() >= count && !worker()->isRunning(); }, ms);
}

void TestEvaNum::evaluationRunsOnWorker() {
  tlxsim::Customer c = f.QuickCustomer();
  c.evaluator.delayMs = 400;
  f.terminal().SetCustomer(c);
  f.Click("BtnStartEva");
  // The click returned while the call is still waiting for the customer.
  QVERIFY(worker()->isRunning());
  QCOMPARE(f.Lines(), QStringList({"评价功能"}));
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>评价完成：满意"}));

  tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  QCOMPARE(QByteArray::fromStdString(impl.state.evaluator.tellerName),
           QByteArray("\xcd\xf5\xce\xe5"));
  QCOMPARE(impl.state.evaluator.tellerNo, std::string("100001"));
  QCOMPARE(impl.state.evaluator.photo, std::string("photo.jpg"));
  QCOMPARE(impl.state.evaluator.stars, 5);
}

void TestEvaNum::evaluationAnswers_data() {
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QString>("line");
  QTest::newRow("satisfied") << "B1F"
                             << ">>>评价完成：满意";
  QTest::newRow("fair") << "B2F"
                        << ">>>评价完成：一般";
  QTest::newRow("unsatisfied") << "B3F"
                               << ">>>评价完成：不满意";
}

void TestEvaNum::evaluationAnswers() {
  QFETCH(QString, answer);
  QFETCH(QString, line);
  tlxsim::Customer c = f.QuickCustomer();
  c.evaluator.value = answer.toStdString();
  f.terminal().SetCustomer(c);
  f.SetIndex("CbxStars", 2);
  f.Click("BtnStartEva");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", line}));
  f.SetIndex("CbxStars", 4);
}

void TestEvaNum::evaluationRefusedAndBadTimeout() {
  // A refusal is no rating: the page reports a failed evaluation.
  f.terminal().SetFault("4R", Fault{FaultKind::Refuse, 0, -1});
  f.Click("BtnStartEva");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>评价失败"}));

  f.Reset();
  f.SetText("EditTimeout", QStringLiteral("0"), 3);
  f.Click("BtnStartEva");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>评价失败：-1"}));
  f.Click("pushButton");
  f.SetText("EditTimeout", QStringLiteral("1000"), 3);
  f.Click("BtnInputAmount");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"输入金额", ">>>输入失败：-1"}));
  QCOMPARE(f.Commands(), size_t(0));
}

void TestEvaNum::secondPressRefused() {
  tlxsim::Customer c = f.QuickCustomer();
  c.evaluator.delayMs = 600;
  f.terminal().SetCustomer(c);
  f.Click("BtnStartEva");
  QVERIFY(worker()->isRunning());
  f.Click("BtnStartEva");
  f.Click("BtnInputPh");
  f.Click("BtnInputAmount");
  QVERIFY(waitForLines(5));
  QCOMPARE(f.Lines(), QStringList({"评价功能", "请先关闭当前操作", "请先关闭当前操作",
                                   "请先关闭当前操作", ">>>评价完成：满意"}));
}

void TestEvaNum::cancelEndsWaitingCall() {
  tlxsim::Customer c = f.QuickCustomer();
  c.evaluator.answers = false;
  c.keypadPhone.answers = false;
  f.terminal().SetCustomer(c);

  f.Click("BtnStartEva");
  QTRY_VERIFY(f.Received("\x1b[4R"));
  f.Click("BtnStartEva_2");
  QVERIFY(!worker()->isRunning());
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>评价失败：-9"}));

  f.Reset();
  f.terminal().SetCustomer(c);
  f.Click("BtnInputPh");
  QTRY_VERIFY(
      f.Received("\x1b"
                 "FA\r\n"));
  f.Click("BtnStartEva_2");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"输入电话号码", ">>>输入失败：-9"}));
}

void TestEvaNum::cancelWithNothingRunning() {
  f.Click("BtnStartEva_2");
  QCOMPARE(f.Lines(), QStringList({"无须取消"}));
  QCOMPARE(f.Commands(), size_t(0));
}

void TestEvaNum::phoneAndAmountModes() {
  f.Click("BtnInputPh");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"输入电话号码", ">>>输入完成：13800138000"}));
  QVERIFY(
      f.Received("\x1b"
                 "FA\r\n"));
  QVERIFY(!f.Received("\x1bGM\r\n"));

  f.Reset();
  f.Click("BtnInputAmount");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"输入金额", ">>>输入完成：100.00"}));
  QVERIFY(f.Received("\x1bGM\r\n"));
  QVERIFY(
      !f.Received("\x1b"
                  "FA\r\n"));
}

void TestEvaNum::keypadTerminalTimeout() {
  // The terminal never answers: the call gives up after the timeout plus
  // the library's allowance and the page reports the timeout code.
  f.terminal().SetFault("GM", Fault{FaultKind::Silence, 0, -1});
  f.SetText("EditTimeout", QStringLiteral("1"), 3);
  f.Click("BtnInputAmount");
  QVERIFY(waitForLines(2, 15000));
  QCOMPARE(f.Lines(), QStringList({"输入金额", ">>>输入失败：-2"}));
}

void TestEvaNum::guardsAndLongFields() {
  f.SetText("EditName", QString());
  f.Click("BtnStartEva");
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>请输入姓名"}));
  f.Click("pushButton");
  f.SetText("EditName", QStringLiteral("王五"));
  f.SetText("EditID", QString());
  f.Click("BtnStartEva");
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>请输入工号"}));
  f.Click("pushButton");

  // 64 Chinese characters are 128 GBK bytes: one more than the field holds.
  f.SetText("EditID", QStringLiteral("100001"));
  f.SetText("EditName", QString(64, QChar(0x738b)));
  f.Click("BtnStartEva");
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>姓名过长：最多127字节"}));
  f.Click("pushButton");
  f.SetText("EditName", QString(63, QChar(0x738b)));
  f.SetText("EditPhoto", QString(128, QLatin1Char('p')));
  f.Click("BtnStartEva");
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>头像文件名过长：最多127字节"}));
  f.Click("pushButton");
  f.SetText("EditPhoto", QStringLiteral("photo.jpg"));
  f.SetText("EditID", QString(200, QLatin1Char('9')));
  f.Click("BtnStartEva");
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>工号过长：最多127字节"}));
  QVERIFY(!worker()->isRunning());
  QCOMPARE(f.Commands(), size_t(0));

  // 127 bytes fit exactly and reach the terminal unchanged.
  f.Click("pushButton");
  f.SetText("EditID", QString(127, QLatin1Char('7')));
  f.Click("BtnStartEva");
  QVERIFY(waitForLines(2));
  QCOMPARE(f.Lines(), QStringList({"评价功能", ">>>评价完成：满意"}));
  tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  QCOMPARE(impl.state.evaluator.tellerNo, std::string(127, '7'));
}

void TestEvaNum::exitDuringCallCancelsAndWaits() {
  tlxsim::Customer c = f.QuickCustomer();
  c.evaluator.answers = false;
  f.terminal().SetCustomer(c);
  auto* second = new MainDialog;
  QVERIFY(second->sdk().IsBound());
  TestThread* thread = second->evaNumPage()->worker();
  QVERIFY(QMetaObject::invokeMethod(second->evaNumPage(), "on_BtnStartEva_clicked"));
  QVERIFY(thread->isRunning());
  QTRY_VERIFY(f.Received("\x1b[4R"));
  QSignalSpy finished(thread, &QThread::finished);
  delete second;  // must cancel the waiting call and wait for the worker
  QCOMPARE(finished.count(), 1);
  // The first window's worker global was replaced by the second page's and
  // cleared with it; the first page's worker is still its own.
  QVERIFY(worker() != nullptr);
}

QTEST_MAIN(TestEvaNum)
#include "tst_evanum.moc"
