// The terminal window against the engine, with a person at it: what is
// typed, pressed and drawn on the window reaches the host as the right
// result, and what the host does (cancel, its timeout) shows on the window.
#include "WindowFixture.h"

#include "DocumentView.h"
#include "EvaluatorScreen.h"
#include "InfoScreen.h"
#include "KeypadScreen.h"
#include "PinBlock.h"
#include "SignaturePad.h"
#include "SignatureScreen.h"
#include "Tdes.h"
#include "tlxdev.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

constexpr int kHid = 0;  // USB port: no serial flush pauses

// A one-page PDF with a line of text, the document the customer signs.
bool WritePdf(const QString& path) {
  QPdfWriter pdf(path);
  pdf.setPageSize(QPageSize(QSizeF(300, 144), QPageSize::Point));
  QPainter painter(&pdf);
  if (!painter.isActive()) return false;
  painter.setFont(QFont(QStringLiteral("Sans"), 18));
  painter.drawText(QRect(0, 0, pdf.width(), pdf.height()), Qt::AlignCenter,
                   QStringLiteral("Please sign here"));
  return painter.end();
}

std::string FromHex(const char* hex) {
  std::string out;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
    out.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s.push_back(d[c >> 4]);
    s.push_back(d[c & 15]);
  }
  return s;
}

}  // namespace

class TestWindowPrompts : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void cleanup();

  void pinTypedOnThePadArrivesAsABlockThatDecryptsToIt();
  void plainPinFromTheKeyboardRespectsTheHostsLength();
  void signatureDrawnWithTheMouseComesBackAsImageAndTrajectory();
  void informationConfirmAndCancel();
  void evaluatorShowsTheStoredPhotoAndGivesTheAnswer();
  void keypadAmountAndPhone();
  void hostCancelEndsThePromptOnTheWindow();
  void hostTimeoutWithNobodyAtTheWindow();

 private:
  KeypadScreen* waitForKeypad();

  WindowFixture f;
  QTemporaryDir m_dir;
};

void TestWindowPrompts::initTestCase() {
  QVERIFY(m_dir.isValid());
  QVERIFY2(f.start(true), "virtual terminal not available");
  QVERIFY(f.window().live());
}

void TestWindowPrompts::cleanupTestCase() { f.stop(); }

void TestWindowPrompts::cleanup() {
  // Every case leaves the window idle for the next one.
  QVERIFY(f.waitForIdle());
}

KeypadScreen* TestWindowPrompts::waitForKeypad() {
  if (!f.waitForPrompt()) return nullptr;
  return f.window().currentScreen() == f.window().keypadScreen() ? f.window().keypadScreen()
                                                                 : nullptr;
}

void TestWindowPrompts::pinTypedOnThePadArrivesAsABlockThatDecryptsToIt() {
  // Master key (key2 || key1) and a work key sent encrypted under it.
  char key1[] = "FEDCBA9876543210";
  char key2[] = "0123456789ABCDEF";
  const std::string master = FromHex(key2) + FromHex(key1);
  const std::string work = FromHex("1122334455667788990AABBCCDDEEFF0");
  std::string encrypted;
  QVERIFY(tlxsim::TdesEncrypt(master, work, &encrypted));
  std::string wkey = Hex(encrypted);
  QCOMPARE(TLX_UpdateMKey(kHid, 0, 9600, 2, key1, key2), 0);
  QCOMPARE(TLX_DownLoadWKey(kHid, 0, 9600, 2, 4, &wkey[0]), 0);
  QCOMPARE(TLX_ActiveWKey(kHid, 0, 9600, 2, 4), 0);

  char account[] = "6222021234567890123";
  char block[64] = {0};
  HostCall call([&] { return TLX_ReadPinAnsi(kHid, 0, 9600, 1, 0, 30, account, block); });
  KeypadScreen* pad = waitForKeypad();
  QVERIFY(pad);
  QVERIFY(pad->pinPad());
  QCOMPARE(pad->findChild<QLabel*>("LabelVoice")->text(),
           QStringLiteral("语音提示：请再次输入密码"));
  // Three digits are not a PIN yet: confirm does nothing.
  f.click(pad, "Btn2");
  f.click(pad, "Btn5");
  f.click(pad, "Btn8");
  f.click(pad, "BtnConfirm");
  QCOMPARE(f.window().currentPrompt() != 0, true);
  f.click(pad, "Btn0");
  QCOMPARE(pad->display(), QString(4, QChar(0x25CF)));  // masked
  f.click(pad, "BtnConfirm");
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QCOMPARE(std::strlen(block), size_t(16));
  std::string pin;
  QVERIFY(tlxsim::DecryptPinBlock(work, FromHex(block), account, &pin));
  QCOMPARE(QString::fromStdString(pin), QStringLiteral("2580"));
  // Neither the PIN nor its block is on the wire pane (the log lines come
  // from the link threads: wait for the answer's).
  QTRY_VERIFY(f.window().wireLines().join(QLatin1Char('\n')).contains(QStringLiteral("masked")));
  const QString wire = f.window().wireLines().join(QLatin1Char('\n'));
  QVERIFY(!wire.contains(QStringLiteral("2580")));
  QVERIFY(!wire.contains(QString::fromLatin1(block)));
  QVERIFY(!wire.contains(QString::fromLatin1(key1)));
  QVERIFY(wire.contains(QStringLiteral("M 2 ****")));
}

void TestWindowPrompts::plainPinFromTheKeyboardRespectsTheHostsLength() {
  QCOMPARE(TLX_SetPinLen(kHid, 0, 9600, 4), 0);
  char pin[64] = {0};
  HostCall call([&] { return TLX_ReadPin(kHid, 0, 9600, 0, 0, 30, pin, 64); });
  KeypadScreen* pad = waitForKeypad();
  QVERIFY(pad);
  QTest::keyClicks(pad, "1234567");  // the pad takes four
  QCOMPARE(pad->display(), QString(4, QChar(0x25CF)));
  QTest::keyClick(pad, Qt::Key_Backspace);
  QTest::keyClicks(pad, "9");
  QTest::keyClick(pad, Qt::Key_Return);
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QCOMPARE(QString::fromLatin1(pin), QStringLiteral("1239"));
  QCOMPARE(TLX_SetPinLen(kHid, 0, 9600, 6), 0);
}

void TestWindowPrompts::signatureDrawnWithTheMouseComesBackAsImageAndTrajectory() {
  const QString doc = m_dir.filePath(QStringLiteral("contract.pdf"));
  QVERIFY(WritePdf(doc));
  SignFiles files(doc);
  HostCall call(files.call());
  QVERIFY(f.waitForPrompt());
  SignatureScreen* screen = f.window().signatureScreen();
  QCOMPARE(f.window().currentScreen(), screen);
  QCOMPARE(screen->document()->pageCount(), 1);  // the PDF page is rendered
  SignaturePad* pad = screen->pad();
  QVERIFY(!screen->findChild<QWidget*>("BtnConfirm")->isEnabled());

  // A horizontal stroke through the middle, from 20 % to 80 % of the width.
  const QRect r = pad->rect();
  const int y = r.height() / 2;
  const int x0 = r.width() / 5, x1 = r.width() * 4 / 5;
  QTest::mousePress(pad, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
  for (int x = x0; x <= x1; x += 6) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(pad, &move);
  }
  QTest::mouseRelease(pad, Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
  QVERIFY(!pad->isEmpty());
  f.click(screen, "BtnConfirm");
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);

  // The image: dark pixels along the drawn line (y = 80 of 160, x from 64
  // to 256 of 320), nowhere far from it.
  QImage png(files.imageFile());
  QVERIFY(!png.isNull());
  QCOMPARE(png.size(), QSize(320, 160));
  int onPath = 0, offPath = 0;
  for (int py = 0; py < png.height(); ++py)
    for (int px = 0; px < png.width(); ++px) {
      if (qGray(png.pixel(px, py)) >= 128) continue;
      const bool near = qAbs(py - 80) <= 3 && px >= 60 && px <= 260;
      near ? ++onPath : ++offPath;
    }
  QCOMPARE(offPath, 0);
  QVERIFY2(onPath >= 190, qPrintable(QString::number(onPath)));
  for (int px = 70; px <= 250; px += 10) {
    bool dark = false;
    for (int py = 77; py <= 83; ++py) dark = dark || qGray(png.pixel(px, py)) < 128;
    QVERIFY2(dark, qPrintable(QString::number(px)));
  }

  // The trajectory: one stroke holding the drawn points, at constant
  // pressure (a mouse reports none).
  QFile xml(files.dataFile());
  QVERIFY(xml.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(xml.readAll());
  QCOMPARE(text.count(QStringLiteral("<stroke>")), 1);
  QRegularExpression point(
      QStringLiteral("<point x=\"(\\d+)\" y=\"(\\d+)\" time=\"(\\d+)\" pressure=\"(\\d+)\"/>"));
  int points = 0, minX = 1000, maxX = -1;
  for (auto it = point.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    ++points;
    QVERIFY(qAbs(m.captured(2).toInt() - 80) <= 1);
    QCOMPARE(m.captured(4).toInt(), SignaturePad::kConstantPressure);
    minX = qMin(minX, m.captured(1).toInt());
    maxX = qMax(maxX, m.captured(1).toInt());
  }
  QVERIFY2(points >= 30, qPrintable(QString::number(points)));
  QVERIFY(qAbs(minX - 64) <= 1);
  QVERIFY(qAbs(maxX - 256) <= 1);
}

void TestWindowPrompts::informationConfirmAndCancel() {
  const QString text = QStringLiteral("尊敬的客户：转账 1000.00 元，请确认。");
  std::string gbk = Gbk(text);
  for (const char* button : {"BtnConfirm", "BtnCancel"}) {
    int result = -1;
    HostCall call([&] { return TLX_StartInfo(kHid, 0, 9600, 30, &gbk[0], &result); });
    QVERIFY(f.waitForPrompt());
    QCOMPARE(f.window().currentScreen(), f.window().infoScreen());
    QCOMPARE(f.window().infoScreen()->text(), text);
    QVERIFY(f.window().infoScreen()->secondsLeft() > 25);
    f.click(f.window().infoScreen(), button);
    QVERIFY(call.wait());
    QCOMPARE(call.result(), 0);
    QCOMPARE(result, std::strcmp(button, "BtnConfirm") == 0 ? 0 : 1);
    QVERIFY(f.waitForIdle());
  }
}

void TestWindowPrompts::evaluatorShowsTheStoredPhotoAndGivesTheAnswer() {
  const QString photo = m_dir.filePath(QStringLiteral("1001.jpg"));
  QVERIFY(WritePicture(photo, 60, 80, "JPG"));
  QByteArray photoPath = photo.toLocal8Bit();
  QCOMPARE(TLX_DownLoadFile(kHid, 0, 9600, 2, photoPath.data()), 0);

  std::string name = Gbk(QStringLiteral("张三"));
  char number[] = "1001";
  int result = -1;
  HostCall call(
      [&] { return TLX_StartEvaluator(kHid, 0, 9600, &name[0], number, 4, nullptr, 30, &result); });
  QVERIFY(f.waitForPrompt());
  EvaluatorScreen* screen = f.window().evaluatorScreen();
  QCOMPARE(f.window().currentScreen(), screen);
  QVERIFY(screen->showsPhoto());
  QCOMPARE(screen->findChild<QLabel*>("LabelName")->text(), QStringLiteral("柜员：张三"));
  QCOMPARE(screen->findChild<QLabel*>("LabelNumber")->text(), QStringLiteral("工号：1001"));
  QCOMPARE(screen->findChild<QLabel*>("LabelStars")->text().count(QChar(0x2605)), 4);
  f.click(screen, "BtnAverage");
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QCOMPARE(result, 2);
}

void TestWindowPrompts::keypadAmountAndPhone() {
  char input[64] = {0};
  {
    HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 0, input); });
    KeypadScreen* pad = waitForKeypad();
    QVERIFY(pad);
    QVERIFY(!pad->pinPad());
    QTest::keyClicks(pad, "12.5.67");  // one point, two decimals
    QCOMPARE(pad->display(), QStringLiteral("12.56"));
    f.click(pad, "BtnBack");
    QCOMPARE(pad->display(), QStringLiteral("12.5"));
    f.click(pad, "BtnConfirm");
    QVERIFY(call.wait());
    QCOMPARE(call.result(), 0);
    QCOMPARE(QString::fromLatin1(input), QStringLiteral("12.5"));
  }
  QVERIFY(f.waitForIdle());
  std::memset(input, 0, sizeof input);
  {
    HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 1, input); });
    KeypadScreen* pad = waitForKeypad();
    QVERIFY(pad);
    QTest::keyClicks(pad, "138.0013");  // no point in a phone number
    QCOMPARE(pad->display(), QStringLiteral("1380013"));
    QTest::keyClick(pad, Qt::Key_Enter);
    QVERIFY(call.wait());
    QCOMPARE(call.result(), 0);
    QCOMPARE(QString::fromLatin1(input), QStringLiteral("1380013"));
  }
}

void TestWindowPrompts::hostCancelEndsThePromptOnTheWindow() {
  char input[64] = {0};
  HostCall call([&] { return TLX_StartKeyboard(kHid, 0, 9600, 30, 0, input); });
  KeypadScreen* pad = waitForKeypad();
  QVERIFY(pad);
  QTest::keyClicks(pad, "99");
  // The host gives up: its read ends (cancelled), it closes the
  // keypad. A cancel that comes before the read starts is forgotten, so
  // it is repeated until the call returns.
  bool returned = false;
  for (int i = 0; i < 50 && !returned; ++i) {
    TLX_CancelRead(kHid, 0, 9600);
    returned = call.wait(100);
  }
  QVERIFY(returned);
  QCOMPARE(call.result(), TLX_ERR_CANCEL);
  QTRY_COMPARE(pad->findChild<QLabel*>("LabelStatus")->text(), QStringLiteral("主机已取消"));
  QVERIFY(!pad->findChild<QWidget*>("Btn9")->isEnabled());
  QVERIFY(f.waitForIdle());
  QCOMPARE(input[0], '\0');
}

void TestWindowPrompts::hostTimeoutWithNobodyAtTheWindow() {
  // Nobody presses anything: the terminal's own timeout answer after the
  // screen timeout of 1 s, which the host reports as a timeout (3).
  char text[] = "timeout";
  int result = -1;
  HostCall call([&] { return TLX_StartInfo(kHid, 0, 9600, 1, text, &result); });
  QVERIFY(f.waitForPrompt());
  QVERIFY(call.wait());
  QCOMPARE(call.result(), 0);
  QCOMPARE(result, 3);
  QTRY_COMPARE(f.window().infoScreen()->findChild<QLabel*>("LabelStatus")->text(),
               QStringLiteral("已超时"));
  QVERIFY(!f.window().infoScreen()->findChild<QWidget*>("BtnConfirm")->isEnabled());
}

QTEST_MAIN(TestWindowPrompts)
#include "tst_window_prompts.moc"
