// The GBK bytes of the texts the programs send to the terminal.
#include <QTextCodec>
#include <QtTest>

#include "GbkText.h"

class GbkTextTest : public QObject {
  Q_OBJECT

 private slots:
  void knownBytes();
  void roundTrip();
  void unmappableCharacter();
};

// The teller name of the loop test and the demo's default, byte by byte.
void GbkTextTest::knownBytes() {
  QCOMPARE(ToGbk(QStringLiteral("王五")), QByteArray("\xcd\xf5\xce\xe5"));
  QCOMPARE(ToGbk(QStringLiteral("info 1000.00")), QByteArray("info 1000.00"));
  QCOMPARE(ToGbk(QString()), QByteArray());
}

// Chinese text with full-width punctuation, ASCII and a line end comes back
// unchanged from the terminal's codec, two bytes a Chinese character.
void GbkTextTest::roundTrip() {
  const QString text =
      QStringLiteral("尊敬的客户：您本次办理的业务为活期存款，金额 1000.00 元，请确认。\n");
  const QByteArray gbk = ToGbk(text);
  QTextCodec* codec = QTextCodec::codecForName("gbk");
  QVERIFY(codec != nullptr);
  QCOMPARE(codec->toUnicode(gbk), text);
  QVERIFY(gbk != text.toUtf8());
  int ascii = 0;
  for (const QChar c : text) ascii += c.unicode() < 0x80 ? 1 : 0;
  QCOMPARE(gbk.size(), ascii + 2 * (text.size() - ascii));
}

// A character GBK has no code for (here one outside the basic plane, a
// surrogate pair in the string) becomes one '?', and the text around it
// keeps its bytes.
void GbkTextTest::unmappableCharacter() {
  const QString text =
      QStringLiteral("王") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("五");
  QCOMPARE(ToGbk(text), QByteArray("\xcd\xf5?\xce\xe5"));
}

QTEST_APPLESS_MAIN(GbkTextTest)
#include "tst_GbkText.moc"
