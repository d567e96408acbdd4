// The texts of the link settings as both programs' settings widgets show and
// read them: the port label, the BP channel of the channel box and the
// channel box index of a stored letter.
#include <QtTest>

#include <climits>

#include "LinkSettings.h"

class LinkSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void portLabel_data();
  void portLabel();
  void channelFromText_data();
  void channelFromText();
  void channelIndex_data();
  void channelIndex();
};

void LinkSettingsTest::portLabel_data() {
  QTest::addColumn<int>("port");
  QTest::addColumn<QString>("label");
  QTest::newRow("0 is USB HID") << 0 << "(HID)";
  QTest::newRow("1 is the first serial port") << 1 << "(ttyS0)";
  QTest::newRow("3") << 3 << "(ttyS2)";
  QTest::newRow("100, the field's highest") << 100 << "(ttyS99)";
  QTest::newRow("highest int") << INT_MAX << "(ttyS2147483646)";
  // The tool's field takes any number; its label must not wrap round.
  QTest::newRow("lowest int") << INT_MIN << "(ttyS-2147483649)";
  QTest::newRow("negative") << -1 << "(ttyS-2)";
}

void LinkSettingsTest::portLabel() {
  QFETCH(int, port);
  QFETCH(QString, label);
  QCOMPARE(PortLabel(port), label);
}

void LinkSettingsTest::channelFromText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("bp");
  QTest::newRow("无 is no channel") << QStringLiteral("无") << 0;
  QTest::newRow("A") << "A" << int('A');
  QTest::newRow("B") << "B" << int('B');
  QTest::newRow("C") << "C" << int('C');
  QTest::newRow("K") << "K" << int('K');
  QTest::newRow("empty text is no channel") << "" << 0;
  // Other texts give their first byte unchanged; the library takes any
  // value but A, B, C and K as no channel.
  QTest::newRow("lower case kept") << "b" << int('b');
  QTest::newRow("other letter") << "Z" << int('Z');
  QTest::newRow("first byte only") << QStringLiteral("K口") << int('K');
  QTest::newRow("punctuation") << "?" << int('?');
}

void LinkSettingsTest::channelFromText() {
  QFETCH(QString, text);
  QFETCH(int, bp);
  QCOMPARE(int(ChannelFromText(text)), bp);
}

void LinkSettingsTest::channelIndex_data() {
  QTest::addColumn<QString>("letter");
  QTest::addColumn<int>("index");
  QTest::newRow("A") << "A" << 1;
  QTest::newRow("B") << "B" << 2;
  QTest::newRow("C") << "C" << 3;
  QTest::newRow("K") << "K" << 4;
  QTest::newRow("lower case a") << "a" << 1;
  QTest::newRow("lower case b") << "b" << 2;
  QTest::newRow("lower case k") << "k" << 4;
  QTest::newRow("0, stored for no channel") << "0" << 0;
  QTest::newRow("empty") << "" << 0;
  QTest::newRow("other letter") << "D" << 0;
  QTest::newRow("two letters") << "AB" << 0;
  QTest::newRow("letter with a blank") << " A" << 0;
  QTest::newRow("无") << QStringLiteral("无") << 0;
}

void LinkSettingsTest::channelIndex() {
  QFETCH(QString, letter);
  QFETCH(int, index);
  QCOMPARE(ChannelIndex(letter), index);
}

QTEST_APPLESS_MAIN(LinkSettingsTest)
#include "tst_LinkSettings.moc"
