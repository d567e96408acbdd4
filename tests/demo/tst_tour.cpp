// The guided tour that `./tlx demo --tour DIR` runs: every action against
// the virtual terminal, one picture of the window per action, and an exit
// code that is 0 only when every action logged its success line.
#include "PageFixture.h"
#include "TerminalWindow.h"
#include "Tour.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using tlxsim::Fault;
using tlxsim::FaultKind;

class TestTour : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();

  void everyActionSucceeds();
  void oneRefusedActionFailsTheTour();
  void terminalWindowPicturesAtTheStepsThatShowSomething();
  void refusedUnlessTheLinkIsTheVirtualTerminals();

 private:
  int runTour(const QString& dir, Tour** finishedTour);

  PageFixture f;
};

void TestTour::initTestCase() {
  QVERIFY2(f.Start(), "virtual terminal or ./libtlxdev.so not available");
}

void TestTour::cleanupTestCase() { f.Stop(); }

void TestTour::init() { f.Reset(); }

int TestTour::runTour(const QString& dir, Tour** finishedTour) {
  auto* tour = new Tour(&f.window(), dir, this);
  QSignalSpy finished(tour, &Tour::finished);
  tour->start();
  // A refused tour has finished within start().
  if (finished.isEmpty() && !finished.wait(120000) && finished.isEmpty()) return -1;
  *finishedTour = tour;
  return finished.first().first().toInt();
}

void TestTour::everyActionSucceeds() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  Tour* tour = nullptr;
  QCOMPARE(runTour(dir.path(), &tour), 0);
  QCOMPARE(tour->failed(), 0);
  QCOMPARE(tour->passed(), 16);

  const QStringList pictures =
      QDir(dir.path()).entryList({QStringLiteral("[0-9][0-9]-*.png")}, QDir::Files, QDir::Name);
  QCOMPARE(pictures.size(), 16);
  QCOMPARE(pictures.first(), QStringLiteral("01-online.png"));
  QCOMPARE(pictures.last(), QStringLiteral("16-phone.png"));
  for (const QString& name : pictures) {
    const QImage picture(dir.filePath(name));
    QVERIFY2(!picture.isNull(), qPrintable(name));
    QCOMPARE(picture.size(), f.window().size());
  }
  // The actions reached the terminal: keys loaded, a file stored, a
  // signature made.
  QVERIFY(f.Received("\x1b[0DOWNLOAD") || f.Received("\x1b[0HIDCHANGE"));
  QVERIFY(f.Received("HANDSIGN"));
  QVERIFY(f.Received("\x1b[4R"));
  // Its pictures show the output pane: no key text, no plain PIN.
  const QString pane =
      f.window().findChild<QPlainTextEdit*>(QStringLiteral("EditLog"))->toPlainText();
  for (const char* key : {"2938475610293847", "6152803947261538", "4726150938471625"})
    QVERIFY2(!pane.contains(QLatin1String(key)), key);
  QVERIFY2(pane.contains(QStringLiteral(">>>密码输入完成：****")), qPrintable(pane));
}

void TestTour::oneRefusedActionFailsTheTour() {
  f.terminal().SetFault("SETVOLUME", Fault{FaultKind::Refuse, 0, -1});
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  Tour* tour = nullptr;
  QCOMPARE(runTour(dir.path(), &tour), 1);
  QCOMPARE(tour->failed(), 1);
  QCOMPARE(tour->passed(), 15);
  QVERIFY(QFile::exists(dir.filePath(QStringLiteral("03-volume.png"))));
}

void TestTour::terminalWindowPicturesAtTheStepsThatShowSomething() {
  // The terminal window watches the scripted customer, as with
  // `./tlx demo --tour`, and takes its pictures into the tour's directory.
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  TerminalWindow terminal(f.terminal().engine(), false);
  terminal.show();
  terminal.takePictures(dir.path());
  Tour* tour = nullptr;
  QCOMPARE(runTour(dir.path(), &tour), 0);
  QTest::qWait(500);  // the last picture is taken while its prompt shows

  const QStringList pictures =
      QDir(dir.path()).entryList({QStringLiteral("*terminal*.png")}, QDir::Files, QDir::Name);
  const QStringList expected = {
      QStringLiteral("10-pin-plain-terminal.png"), QStringLiteral("11-pin-des-terminal.png"),
      QStringLiteral("12-pin-ansi-terminal.png"),  QStringLiteral("13-info-terminal.png"),
      QStringLiteral("14-signature-terminal.png"), QStringLiteral("15-evaluation-terminal.png"),
      QStringLiteral("16-phone-terminal.png")};
  QCOMPARE(pictures, expected);
  for (const QString& name : pictures) {
    const QImage picture(dir.filePath(name));
    QCOMPARE(picture.size(), terminal.size());
  }
  // The step marker is gone once the tour ended.
  QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("tour-step.txt"))));
}

// The tour resets and loads keys: it refuses to start, sending nothing,
// unless the port leads to the virtual terminal the environment names.
void TestTour::refusedUnlessTheLinkIsTheVirtualTerminals() {
  QTemporaryDir dir, other;
  QVERIFY(dir.isValid() && other.isValid());
  const QByteArray saved = qgetenv("TLX_VIRTUAL_TERMINAL");
  const QByteArray savedSerial = qgetenv("TLX_SERIAL_PATH");
  QLineEdit* port = f.window().configDialog().findChild<QLineEdit*>(QStringLiteral("EditCom"));
  struct Case {
    const char* what;
    std::function<void()> set;
  } cases[] = {
      {"no virtual terminal named", [] { qunsetenv("TLX_VIRTUAL_TERMINAL"); }},
      {"another directory", [&] { qputenv("TLX_VIRTUAL_TERMINAL", other.path().toLocal8Bit()); }},
      {"a serial port of the machine",
       [&] {
         port->setText(QStringLiteral("1"));
         qputenv("TLX_SERIAL_PATH", "/dev/ttyS%d");
       }},
  };
  for (const Case& c : cases) {
    c.set();
    Tour* tour = nullptr;
    const int code = runTour(dir.path(), &tour);
    qputenv("TLX_VIRTUAL_TERMINAL", saved);
    qputenv("TLX_SERIAL_PATH", savedSerial);
    port->setText(QStringLiteral("0"));
    QVERIFY2(code == 2, c.what);
    QVERIFY2(tour->passed() == 0 && tour->failed() == 0, c.what);
    QVERIFY2(f.terminal().History().empty(), c.what);
    QVERIFY2(QDir(dir.path()).entryList(QDir::Files).isEmpty(), c.what);
  }
}

QTEST_MAIN(TestTour)
#include "tst_tour.moc"
