// The terminal window while the scripted customer answers (the demo's tour):
// it shows what the scripted customer does and lets nobody press anything,
// takes its pictures, and hands the answering back when a live window goes.
#include "WindowFixture.h"

#include "DocumentView.h"
#include "KeypadScreen.h"
#include "PromptScreen.h"
#include "SignaturePad.h"
#include "SignatureScreen.h"
#include "TourPictures.h"
#include "tlxdev.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {
constexpr int kHid = 0;
}

class TestWindowScripted : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();

  void scriptedAnswerIsShownAndTheWindowTakesNoKeys();
  void scriptedSignatureOnThePadIsTheOneTheHostGets();
  void picturesAreNamedAfterTheTourStep();
  void aLiveWindowHandsAnsweringBackWhenItGoes();

 private:
  WindowFixture f;
  QTemporaryDir m_dir;
};

void TestWindowScripted::initTestCase() {
  QVERIFY(m_dir.isValid());
  QVERIFY2(f.start(false), "virtual terminal not available");
  QVERIFY(!f.terminal().engine().LiveCustomer());
  tlxsim::Customer c;
  c.keypadAmount = tlxsim::Answer{true, 800, "250.00"};
  c.sign = tlxsim::Answer{true, 800, ""};
  f.terminal().SetCustomer(c);
}

void TestWindowScripted::cleanupTestCase() { f.stop(); }

void TestWindowScripted::scriptedAnswerIsShownAndTheWindowTakesNoKeys() {
  char input[64] = {0};
  HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 0, input); });
  QVERIFY(f.waitForPrompt());
  KeypadScreen* pad = f.window().keypadScreen();
  QCOMPARE(f.window().currentScreen(), static_cast<PromptScreen*>(pad));
  QVERIFY(!pad->interactive());
  QCOMPARE(pad->display(), QStringLiteral("250.00"));
  QVERIFY(!pad->findChild<QWidget*>("BtnConfirm")->isEnabled());
  QTest::keyClicks(pad, "9\r");  // nobody at the window answers
  QCOMPARE(pad->display(), QStringLiteral("250.00"));
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QCOMPARE(QString::fromLatin1(input), QStringLiteral("250.00"));
  QVERIFY(f.waitForIdle());
}

void TestWindowScripted::scriptedSignatureOnThePadIsTheOneTheHostGets() {
  const QString doc = m_dir.filePath(QStringLiteral("page.jpg"));
  QVERIFY(WritePicture(doc, 300, 120, "JPG"));
  SignFiles files(doc);
  HostCall call(files.call());
  QVERIFY(f.waitForPrompt());
  SignaturePad* pad = f.window().signatureScreen()->pad();
  QVERIFY(!pad->isEmpty());
  QCOMPARE(f.window().signatureScreen()->document()->pageCount(), 1);  // the JPG
  const std::vector<tlxsim::Stroke> shown = pad->strokes();
  // Drawing on a scripted screen changes nothing.
  QTest::mouseClick(pad, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QCOMPARE(pad->strokes().size(), shown.size());
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QFile xml(files.dataFile());
  QVERIFY(xml.open(QIODevice::ReadOnly));
  QCOMPARE(xml.readAll().toStdString(), tlxsim::SignatureXml(shown));
  QVERIFY(f.waitForIdle());
}

void TestWindowScripted::picturesAreNamedAfterTheTourStep() {
  const QString dir = m_dir.filePath(QStringLiteral("pictures"));
  f.window().takePictures(dir);
  QSignalSpy saved(f.window().pictures(), &TourPictures::saved);
  char input[64] = {0};
  {
    QFile step(dir + QStringLiteral("/tour-step.txt"));
    QVERIFY(step.open(QIODevice::WriteOnly));
    step.write("07-amount\n");
  }
  {
    HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 0, input); });
    QVERIFY(saved.wait(5000));
    QVERIFY(call.wait());
  }
  QCOMPARE(saved.first().first().toString(), dir + QStringLiteral("/07-amount-terminal.png"));
  const QImage picture(dir + QStringLiteral("/07-amount-terminal.png"));
  QCOMPARE(picture.size(), f.window().size());
  QVERIFY(f.waitForIdle());
  // Without a step (or with one that is no plain name) the pictures are
  // counted.
  {
    QFile step(dir + QStringLiteral("/tour-step.txt"));
    QVERIFY(step.open(QIODevice::WriteOnly | QIODevice::Truncate));
    step.write("../../etc/x\n");
  }
  {
    HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 0, input); });
    QVERIFY(saved.wait(5000));
    QVERIFY(call.wait());
  }
  QCOMPARE(saved.last().first().toString(), dir + QStringLiteral("/terminal-02-amount.png"));
  QVERIFY(QFile::exists(dir + QStringLiteral("/terminal-02-amount.png")));
  QCOMPARE(QDir(dir).entryList({QStringLiteral("*.png")}).size(), 2);
  QVERIFY(f.waitForIdle());
}

void TestWindowScripted::aLiveWindowHandsAnsweringBackWhenItGoes() {
  tlxsim::Engine& engine = f.terminal().engine();
  {
    TerminalWindow live(engine, true);
    QVERIFY(engine.LiveCustomer());
  }
  QVERIFY(!engine.LiveCustomer());
}

QTEST_MAIN(TestWindowScripted)
#include "tst_window_scripted.moc"
