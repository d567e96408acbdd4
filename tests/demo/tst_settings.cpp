// Communication settings: "config.ini" read at start and written on save,
// the port field and its label, and the values handed to the pages.
#include "ConfigDialog.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestSettings : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void missingFileGivesDefaults();
  void loadsValuesFromFile_data();
  void loadsValuesFromFile();
  void saveRoundTrip();
  void noChannelSavedAsZero();
  void lowerCaseLetterSavedUpperCase();
  void portLabelFollowsField_data();
  void portLabelFollowsField();
  void portFieldRefusesOutOfRange_data();
  void portFieldRefusesOutOfRange();
  void closeButtonKeepsChangesButNotFile();

 private:
  void writeIni(const QString& port, const QString& bp, const QString& baud);
  QString stored(const QString& key);

  QTemporaryDir* m_dir = nullptr;
  QString m_original;
};

void TestSettings::init() {
  m_original = QDir::currentPath();
  m_dir = new QTemporaryDir;
  QVERIFY(m_dir->isValid());
  QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestSettings::cleanup() {
  QDir::setCurrent(m_original);
  delete m_dir;
  m_dir = nullptr;
}

void TestSettings::writeIni(const QString& port, const QString& bp, const QString& baud) {
  QFile file(QStringLiteral("config.ini"));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(QStringLiteral("[com]\nport=%1\nbp=%2\nbaud=%3\n").arg(port, bp, baud).toUtf8());
}

QString TestSettings::stored(const QString& key) {
  QSettings settings(QStringLiteral("config.ini"), QSettings::IniFormat);
  return settings.value(QStringLiteral("com/") + key).toString();
}

template <typename T>
static T* child(QWidget& w, const char* name) {
  T* found = w.findChild<T*>(QLatin1String(name));
  if (!found) qFatal("no widget %s", name);
  return found;
}

void TestSettings::missingFileGivesDefaults() {
  ConfigDialog dlg;
  QCOMPARE(dlg.getCom(), 0);
  QCOMPARE(dlg.getBP(), 0);
  QCOMPARE(dlg.getBaud(), 9600);
  QCOMPARE(child<QLabel>(dlg, "LabelCom")->text(), QStringLiteral("(HID)"));
  QCOMPARE(child<QComboBox>(dlg, "CbxBP")->currentText(), QStringLiteral("无"));
  QVERIFY(!QFile::exists(QStringLiteral("config.ini")));
}

void TestSettings::loadsValuesFromFile_data() {
  QTest::addColumn<QString>("port");
  QTest::addColumn<QString>("bp");
  QTest::addColumn<QString>("baud");
  QTest::addColumn<int>("wantPort");
  QTest::addColumn<int>("wantBp");
  QTest::addColumn<int>("wantBaud");
  QTest::newRow("serial K 115200") << "2"
                                   << "K"
                                   << "115200" << 2 << int('K') << 115200;
  QTest::newRow("lower-case b") << "1"
                                << "b"
                                << "9600" << 1 << int('B') << 9600;
  QTest::newRow("bp 0 is none") << "0"
                                << "0"
                                << "1200" << 0 << 0 << 1200;
  QTest::newRow("unknown letter") << "0"
                                  << "Z"
                                  << "9600" << 0 << 0 << 9600;
  QTest::newRow("baud 4800 falls back") << "0"
                                        << "A"
                                        << "4800" << 0 << int('A') << 1200;
  QTest::newRow("port 100 is the highest") << "100"
                                           << "A"
                                           << "9600" << 100 << int('A') << 9600;
  QTest::newRow("port 101 counts as missing") << "101"
                                              << "A"
                                              << "9600" << 0 << int('A') << 9600;
  QTest::newRow("port 999 counts as missing") << "999"
                                              << "C"
                                              << "9600" << 0 << int('C') << 9600;
  QTest::newRow("negative port counts as missing") << "-1"
                                                   << "A"
                                                   << "9600" << 0 << int('A') << 9600;
}

void TestSettings::loadsValuesFromFile() {
  QFETCH(QString, port);
  QFETCH(QString, bp);
  QFETCH(QString, baud);
  QFETCH(int, wantPort);
  QFETCH(int, wantBp);
  QFETCH(int, wantBaud);
  writeIni(port, bp, baud);
  ConfigDialog dlg;
  QCOMPARE(dlg.getCom(), wantPort);
  QCOMPARE(dlg.getBP(), wantBp);
  QCOMPARE(dlg.getBaud(), wantBaud);
  QCOMPARE(child<QLineEdit>(dlg, "EditCom")->text(), QString::number(wantPort));
  QCOMPARE(child<QLabel>(dlg, "LabelCom")->text(),
           wantPort == 0 ? QStringLiteral("(HID)") : QStringLiteral("(ttyS%1)").arg(wantPort - 1));
}

void TestSettings::saveRoundTrip() {
  {
    ConfigDialog dlg;
    child<QLineEdit>(dlg, "EditCom")->setText(QStringLiteral("3"));
    child<QComboBox>(dlg, "CbxBP")->setCurrentIndex(4);    // K
    child<QComboBox>(dlg, "CbxBaud")->setCurrentIndex(2);  // 115200
    dlg.show();
    QTest::mouseClick(child<QPushButton>(dlg, "BtnComSave"), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
  }
  QCOMPARE(stored(QStringLiteral("port")), QStringLiteral("3"));
  QCOMPARE(stored(QStringLiteral("bp")), QStringLiteral("K"));
  QCOMPARE(stored(QStringLiteral("baud")), QStringLiteral("115200"));

  ConfigDialog again;
  QCOMPARE(again.getCom(), 3);
  QCOMPARE(again.getBP(), int('K'));
  QCOMPARE(again.getBaud(), 115200);
  QCOMPARE(child<QLabel>(again, "LabelCom")->text(), QStringLiteral("(ttyS2)"));
}

void TestSettings::noChannelSavedAsZero() {
  writeIni(QStringLiteral("1"), QStringLiteral("C"), QStringLiteral("9600"));
  {
    ConfigDialog dlg;
    child<QComboBox>(dlg, "CbxBP")->setCurrentIndex(0);
    QCOMPARE(dlg.getBP(), 0);
    child<QPushButton>(dlg, "BtnComSave")->click();
  }
  QCOMPARE(stored(QStringLiteral("bp")), QStringLiteral("0"));
  ConfigDialog again;
  QCOMPARE(child<QComboBox>(again, "CbxBP")->currentText(), QStringLiteral("无"));
}

void TestSettings::lowerCaseLetterSavedUpperCase() {
  writeIni(QStringLiteral("1"), QStringLiteral("b"), QStringLiteral("9600"));
  {
    ConfigDialog dlg;
    QCOMPARE(child<QComboBox>(dlg, "CbxBP")->currentText(), QStringLiteral("B"));
    child<QPushButton>(dlg, "BtnComSave")->click();
  }
  QCOMPARE(stored(QStringLiteral("bp")), QStringLiteral("B"));
}

void TestSettings::portLabelFollowsField_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("label");
  QTest::newRow("3") << "3"
                     << "3"
                     << "(ttyS2)";
  QTest::newRow("1") << "1"
                     << "1"
                     << "(ttyS0)";
  QTest::newRow("0") << "0"
                     << "0"
                     << "(HID)";
  QTest::newRow("empty") << ""
                         << "0"
                         << "(HID)";
  QTest::newRow("leading zero") << "07"
                                << "7"
                                << "(ttyS6)";
}

void TestSettings::portLabelFollowsField() {
  QFETCH(QString, typed);
  QFETCH(QString, field);
  QFETCH(QString, label);
  writeIni(QStringLiteral("5"), QStringLiteral("A"), QStringLiteral("9600"));
  ConfigDialog dlg;
  QLineEdit* edit = child<QLineEdit>(dlg, "EditCom");
  edit->setText(typed);
  QCOMPARE(edit->text(), field);
  QCOMPARE(child<QLabel>(dlg, "LabelCom")->text(), label);
  QCOMPARE(dlg.getCom(), field.toInt());
}

void TestSettings::portFieldRefusesOutOfRange_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("label");
  QTest::newRow("100 is accepted") << "100"
                                   << "100"
                                   << "(ttyS99)";
  QTest::newRow("101 stops at 10") << "101"
                                   << "10"
                                   << "(ttyS9)";
  QTest::newRow("999 stops at 99") << "999"
                                   << "99"
                                   << "(ttyS98)";
  QTest::newRow("no sign") << "-5"
                           << "5"
                           << "(ttyS4)";
  QTest::newRow("no letters") << "4x"
                              << "4"
                              << "(ttyS3)";
}

// Typed keys go through the field's validator as a user's would: a key
// that would leave a number above 100 is refused, and what is saved is
// what the field kept.
void TestSettings::portFieldRefusesOutOfRange() {
  QFETCH(QString, typed);
  QFETCH(QString, field);
  QFETCH(QString, label);
  ConfigDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QLineEdit* edit = child<QLineEdit>(dlg, "EditCom");
  edit->setFocus();
  edit->clear();
  QCOMPARE(edit->text(), QStringLiteral("0"));
  QTest::keyClicks(edit, typed);
  QCOMPARE(edit->text(), field);
  QCOMPARE(child<QLabel>(dlg, "LabelCom")->text(), label);
  QCOMPARE(dlg.getCom(), field.toInt());

  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("999"));
  QCOMPARE(edit->text(), QStringLiteral("99"));
  QTest::mouseClick(child<QPushButton>(dlg, "BtnComSave"), Qt::LeftButton);
  QCOMPARE(stored(QStringLiteral("port")), QStringLiteral("99"));
}

void TestSettings::closeButtonKeepsChangesButNotFile() {
  writeIni(QStringLiteral("0"), QStringLiteral("A"), QStringLiteral("9600"));
  ConfigDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  child<QLineEdit>(dlg, "EditCom")->setText(QStringLiteral("2"));
  child<QComboBox>(dlg, "CbxBaud")->setCurrentIndex(2);
  QTest::mouseClick(child<QPushButton>(dlg, "menuButton_Close"), Qt::LeftButton);
  QVERIFY(!dlg.isVisible());
  QCOMPARE(dlg.getCom(), 2);
  QCOMPARE(dlg.getBaud(), 115200);
  QCOMPARE(stored(QStringLiteral("port")), QStringLiteral("0"));
  QCOMPARE(stored(QStringLiteral("baud")), QStringLiteral("9600"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
