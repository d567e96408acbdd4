// An unattended run: 200 loops of all six tests against a terminal whose
// customer answers at once. Every counter must add up at the end.
#include <QElapsedTimer>
#include <QTest>

#include "RunDirectory.h"
#include "Terminal.h"
#include "TestRecords.h"
#include "ToolWindow.h"

class LongRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void twoHundredLoopsOfAllTests();

 private:
  RunDirectory m_dir;
  Terminal m_terminal;
};

void LongRunTest::initTestCase() {
  QVERIFY2(m_dir.isValid(), "libtlxdev.so must be in the working directory");
  QVERIFY(m_terminal.start());
  m_terminal.engine().SetCustomer(Terminal::Quick());
  QVERIFY(m_dir.write(QStringLiteral("info.txt"), QStringLiteral("请确认").toUtf8()));
  QVERIFY(m_dir.write(QStringLiteral("hwBack.pdf"),
                      QByteArray("%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n")));
  QVERIFY(m_dir.write(QStringLiteral("ad.jpg"), QByteArray(3000, '\x5a')));
}

void LongRunTest::twoHundredLoopsOfAllTests() {
  const int loops = 200;
  ToolWindow w;
  w.setField("EditCom_5", QString::number(loops));
  w.setField("EditCom_3", QStringLiteral("0"));
  w.setField("EditCom_4", QStringLiteral("5"));
  for (const char* box : {"cbx_keypad", "cbx_info", "cbx_eva", "cbx_numpad", "cbx_sign", "cbx_dwn"})
    w.setChecked(box);
  w.setField("edit_filepath", m_dir.filePath(QStringLiteral("ad.jpg")));

  QElapsedTimer timer;
  timer.start();
  w.start();
  QVERIFY(w.warnings.isEmpty());
  QVERIFY(WaitIdle(280000));
  qInfo("%d loops of six tests took %lld ms", loops, static_cast<long long>(timer.elapsed()));

  const TestRecords& r = g_Records;
  QCOMPARE(r.loopsDone.load(), loops);
  const int counts[][2] = {
      {r.keypadTried, r.keypadPassed}, {r.infoTried, r.infoPassed}, {r.evaTried, r.evaPassed},
      {r.numpadTried, r.numpadPassed}, {r.signTried, r.signPassed}, {r.dwnTried, r.dwnPassed},
  };
  for (const auto& pair : counts) {
    QCOMPARE(pair[0], loops);
    QCOMPARE(pair[1], loops);
  }

  const QStringList texts = w.texts();
  QCOMPARE(texts.size(), loops * 12);
  const QStringList names = {QStringLiteral("密码键盘"), QStringLiteral("信息交互"),
                             QStringLiteral("评价器"),   QStringLiteral("数字键盘"),
                             QStringLiteral("电子签名"), QStringLiteral("文件下载")};
  for (int i = 0; i < texts.size(); ++i) {
    const QString& name = names[(i / 2) % 6];
    const QString expected =
        (i % 2 == 0 ? QStringLiteral("当前测试：") : QStringLiteral("测试完成：")) + name;
    if (texts[i] != expected) QFAIL(qPrintable(QStringLiteral("text %1: %2").arg(i).arg(texts[i])));
  }

  QCoreApplication::processEvents();
  const QString view = w.view()->toPlainText();
  QVERIFY2(view.endsWith(QStringLiteral("测试完成：文件下载\n"
                                        "结果统计：1200/1200\n"
                                        "密码键盘：200/200\n"
                                        "信息交互：200/200\n"
                                        "评价器：200/200\n"
                                        "数字键盘：200/200\n"
                                        "电子签名：200/200\n"
                                        "文件下载：200/200")),
           qPrintable(view));
}

QTEST_MAIN(LongRunTest)
#include "tst_LongRun.moc"
