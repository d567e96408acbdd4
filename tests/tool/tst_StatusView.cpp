// The status view: one status line, with the loop prefix when the run has
// a loop count, followed by the seven statistics lines.
#include <QRegularExpression>
#include <QTest>

#include "RunDirectory.h"
#include "Terminal.h"
#include "TestRecords.h"
#include "ToolWindow.h"

namespace {

const QString kNumpadStart = QStringLiteral("当前测试：数字键盘");

// Everything the view showed, one entry per status update.
class ViewRecorder {
 public:
  explicit ViewRecorder(ToolWindow& w) {
    // Queued behind the window's own slot, so each entry is the view that
    // slot has just written.
    QObject::connect(
        &w, &MainWindow::sigInfo, &w, [this, &w] { views << w.view()->toPlainText(); },
        Qt::QueuedConnection);
  }
  QStringList views;
};

// Checks the seven statistics lines under the status line: their labels in
// order, passed/tried pairs, and totals that are the sums of the six lines.
void CheckStatistics(const QString& view) {
  const QStringList lines = view.split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), 8);
  const QStringList labels = {QStringLiteral("结果统计"), QStringLiteral("密码键盘"),
                              QStringLiteral("信息交互"), QStringLiteral("评价器"),
                              QStringLiteral("数字键盘"), QStringLiteral("电子签名"),
                              QStringLiteral("文件下载")};
  int passed[7] = {};
  int tried[7] = {};
  for (int i = 0; i < 7; ++i) {
    const QRegularExpression re(QStringLiteral("^%1：(\\d+)/(\\d+)$").arg(labels[i]));
    const QRegularExpressionMatch m = re.match(lines[i + 1]);
    QVERIFY2(m.hasMatch(), qPrintable(lines[i + 1]));
    passed[i] = m.captured(1).toInt();
    tried[i] = m.captured(2).toInt();
    QVERIFY(passed[i] <= tried[i]);
  }
  int passedSum = 0;
  int triedSum = 0;
  for (int i = 1; i < 7; ++i) {
    passedSum += passed[i];
    triedSum += tried[i];
  }
  QCOMPARE(passed[0], passedSum);
  QCOMPARE(tried[0], triedSum);
}

}  // namespace

class StatusViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();

  void firstOfHundredLoopsHasZeroPrefix();
  void loopCountZeroHasNoPrefix();
  void statisticsFollowEveryText();

 private:
  RunDirectory m_dir;
  Terminal m_terminal;
};

void StatusViewTest::initTestCase() {
  QVERIFY2(m_dir.isValid(), "libtlxdev.so must be in the working directory");
  QVERIFY(m_terminal.start());
  // The customer takes a moment, so the view shows the start text first.
  tlxsim::Customer customer = Terminal::Quick();
  customer.keypadPhone.delayMs = 300;
  m_terminal.engine().SetCustomer(customer);
}

void StatusViewTest::firstOfHundredLoopsHasZeroPrefix() {
  ToolWindow w;
  ViewRecorder recorder(w);
  w.setField("EditCom_5", QStringLiteral("100"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return !recorder.views.isEmpty(); }, 10000));
  w.stop();

  QVERIFY2(recorder.views[0].startsWith(QStringLiteral("[0, 100]") + kNumpadStart + "\n"),
           qPrintable(recorder.views[0]));
  for (const QString& view : recorder.views) {
    QVERIFY(view.startsWith(QStringLiteral("[0, 100]")));
    CheckStatistics(view);
    if (QTest::currentTestFailed()) return;
  }
}

void StatusViewTest::loopCountZeroHasNoPrefix() {
  ToolWindow w;
  ViewRecorder recorder(w);
  w.setField("EditCom_5", QStringLiteral("0"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(QTest::qWaitFor([&] { return !recorder.views.isEmpty(); }, 10000));
  w.stop();

  QCOMPARE(recorder.views[0].section(QLatin1Char('\n'), 0, 0), kNumpadStart);
  for (const QString& view : recorder.views) {
    QVERIFY2(!view.startsWith(QLatin1Char('[')), qPrintable(view));
    CheckStatistics(view);
    if (QTest::currentTestFailed()) return;
  }
}

void StatusViewTest::statisticsFollowEveryText() {
  ToolWindow w;
  ViewRecorder recorder(w);
  w.setField("EditCom_5", QStringLiteral("3"));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setChecked("cbx_keypad");
  w.setChecked("cbx_numpad");
  w.start();
  QVERIFY(WaitIdle(30000));
  QCoreApplication::processEvents();

  QVERIFY(!recorder.views.isEmpty());
  const QRegularExpression status(
      QStringLiteral("^\\[[0-3], 3\\](当前测试|测试完成)：(密码键盘|数字键盘)$"));
  for (const QString& view : recorder.views) {
    QVERIFY2(status.match(view.section(QLatin1Char('\n'), 0, 0)).hasMatch(), qPrintable(view));
    CheckStatistics(view);
    if (QTest::currentTestFailed()) return;
  }
  // The view left after the run shows the final counts. The last text came
  // during the third loop; whether the loop was counted before the view was
  // drawn is up to the threads.
  QString last = w.view()->toPlainText();
  QVERIFY(last.startsWith(QStringLiteral("[2, 3]")) || last.startsWith(QStringLiteral("[3, 3]")));
  QCOMPARE(last.mid(6), QStringLiteral("测试完成：数字键盘\n"
                                       "结果统计：6/6\n"
                                       "密码键盘：3/3\n"
                                       "信息交互：0/0\n"
                                       "评价器：0/0\n"
                                       "数字键盘：3/3\n"
                                       "电子签名：0/0\n"
                                       "文件下载：0/0"));
}

QTEST_MAIN(StatusViewTest)
#include "tst_StatusView.moc"
