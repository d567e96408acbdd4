// The basic, PIN pad and interaction pages against the virtual terminal:
// each button's title and ">>>" lines for success, refusal and timeout,
// the guards for empty fields, and what is sent when the library is
// missing (nothing).
#include "EngineState.h"
#include "PageFixture.h"
#include "PrivateFiles.h"
#include "TabEvaNum.h"
#include "TestThread.h"

#include <QAbstractButton>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

using tlxsim::Fault;
using tlxsim::FaultKind;

// Test keys for the virtual terminal: the forms bring none.
const char kNewMasterKey[] = "6152803947261538";
const char kOldMasterKey[] = "2938475610293847";
const char kWorkKey[] = "4726150938471625";

class TestPages : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();

  // Basic functions
  void checkOnline();
  void checkOnlineRefusedAndSilent();
  void version();
  void reboot();
  void volumeRangeSwitch();
  void volumeSet();
  void fileListEmptyAndFilled();
  void fileListExactlyBufferSize();
  void downloadQueryDelete();
  void mediaGuards();
  void firmwareUpgrade();
  void unsavedSettingsUsedByNextCall();
  void serialLinkThroughSettings();

  // PIN pad
  void keyCommands();
  void keyCommandRefusedAndSilent();
  void activateLogsIndexes();
  void plainPin();
  void encryptedPins();
  void pinLengthNotNumber();
  void ansiGuard();

  // Interaction and signature
  void information();
  void informationGuardsAndRefusal();
  void informationTerminalTimeout();
  void signature();
  void signatureRefusedKeepsPicture();

  // No library
  void unboundCallsNothing();

 private:
  QStringList run(const char* button);
  QString writeFile(const QString& name, const QByteArray& bytes);
  // Test keys into the PIN pad page's forms.
  void SetKeys();

  PageFixture f;
  QTemporaryDir m_files;
};

void TestPages::initTestCase() {
  QVERIFY(m_files.isValid());
  QVERIFY2(f.Start(), "virtual terminal or ./libtlxdev.so not available");
  // The PIN pad page's forms hold no key texts of their own.
  for (const char* edit : {"EditOldMK", "EditNewMK", "EditWK"})
    QVERIFY2(f.window().findChild<QLineEdit*>(QLatin1String(edit))->text().isEmpty(), edit);
}

void TestPages::cleanupTestCase() { f.Stop(); }

void TestPages::init() { f.Reset(); }

void TestPages::SetKeys() {
  f.SetText("EditNewMK", QLatin1String(kNewMasterKey));
  f.SetText("EditOldMK", QLatin1String(kOldMasterKey));
  f.SetText("EditWK", QLatin1String(kWorkKey));
}

QStringList TestPages::run(const char* button) {
  f.Click(button);
  return f.Lines();
}

QString TestPages::writeFile(const QString& name, const QByteArray& bytes) {
  const QString path = m_files.filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

// ---- Basic functions --------------------------------------------------------

void TestPages::checkOnline() {
  QCOMPARE(run("BtnCheckDev"), QStringList({"检测设备是否在线", ">>>检测设备成功：R40"}));
  QVERIFY(f.Received("CHECKR40"));
}

void TestPages::checkOnlineRefusedAndSilent() {
  // A terminal of the other model refuses the first probe and
  // acknowledges the second.
  f.terminal().SetFault("CHECKR40", Fault{FaultKind::Refuse, 0, -1});
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    impl.state.model = "k60";
  }
  const QStringList refused = run("BtnCheckDev");
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    impl.state.model = "R40";
  }
  QCOMPARE(refused, QStringList({"检测设备是否在线", ">>>检测设备成功：k60"}));

  f.Reset();
  f.terminal().SetFault("CHECKR40", Fault{FaultKind::Silence, 0, -1});
  f.terminal().SetFault("CHECKk60", Fault{FaultKind::Silence, 0, -1});
  QCOMPARE(run("BtnCheckDev"), QStringList({"检测设备是否在线", ">>>检测设备失败：-2"}));
}

void TestPages::version() {
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    impl.state.versionJson = "{\"Version\":{\"app\":{\"version\":\"V7.3.1-page\"}}}";
  }
  QCOMPARE(run("BtnGetVer"), QStringList({"获取软件版本号", ">>>获取版本成功：V7.3.1-page"}));

  f.Reset();
  f.terminal().SetFault("GETDEVICEINFO", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnGetVer"), QStringList({"获取软件版本号", ">>>检测版本失败：-7"}));
}

void TestPages::reboot() {
  QCOMPARE(run("BtnReboot"), QStringList({"设备重启", ">>>重启设备成功"}));
  f.Reset();
  f.terminal().SetFault("RESTART", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnReboot"), QStringList({"设备重启", ">>>重启设备失败：-7"}));
}

void TestPages::volumeRangeSwitch() {
  QSlider* slider = f.Child<QSlider>("SldVol");
  QLabel* value = f.Child<QLabel>("LabelVol");
  value->ensurePolished();
  QCOMPARE(value->alignment(), Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  QCOMPARE(slider->maximum(), 5);
  slider->setValue(4);
  QCOMPARE(value->text(), QStringLiteral("4"));
  f.SetIndex("CbxVolType", 1);
  QCOMPARE(slider->maximum(), 15);
  QCOMPARE(slider->value(), 0);
  QCOMPARE(value->text(), QStringLiteral("0"));
  slider->setValue(13);
  f.SetIndex("CbxVolType", 2);
  QCOMPARE(slider->maximum(), 15);
  QCOMPARE(slider->value(), 0);
  slider->setValue(15);
  f.SetIndex("CbxVolType", 0);
  QCOMPARE(slider->maximum(), 5);
  QCOMPARE(slider->value(), 0);
  QCOMPARE(value->text(), QStringLiteral("0"));
  QCOMPARE(f.Commands(), size_t(0));
}

void TestPages::volumeSet() {
  f.SetIndex("CbxVolType", 1);
  f.Child<QSlider>("SldVol")->setValue(12);
  QCOMPARE(run("BtnVolSet"), QStringList({"设置音量", ">>>设置音量成功"}));
  QVERIFY(
      f.Received("SETVOLUME\x02"
                 "2|12\x03"));

  f.Reset();
  f.SetIndex("CbxVolType", 0);
  QCOMPARE(f.Child<QSlider>("SldVol")->value(), 0);
  QCOMPARE(run("BtnVolSet"), QStringList({"设置音量", ">>>设置音量成功"}));
  QVERIFY(
      f.Received("SETVOLUME\x02"
                 "1|0\x03"));

  f.Reset();
  f.terminal().SetFault("SETVOLUME", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnVolSet"), QStringList({"设置音量", ">>>设置音量失败：-7"}));
}

void TestPages::fileListEmptyAndFilled() {
  f.SetIndex("CbxMediaType", 1);
  QCOMPARE(run("BtnGetMdiaList"),
           QStringList({"获取文件列表", ">>>获取多媒体文件列表成功，视频文件："}));

  f.Reset();
  f.SetText("EditMediaDwnPath", writeFile("clip.mp4", QByteArray(3000, 'v')));
  f.Click("BtnMediaDwn");
  f.Click("pushButton");
  const QStringList lines = run("BtnGetMdiaList");
  QCOMPARE(lines.size(), 2);
  QVERIFY2(lines[1].startsWith(QStringLiteral(">>>获取多媒体文件列表成功，视频文件：")),
           qPrintable(lines[1]));
  QVERIFY2(lines[1].contains(QStringLiteral("clip.mp4")), qPrintable(lines[1]));

  f.Reset();
  f.terminal().SetFault("GETFILELIST", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnGetMdiaList"), QStringList({"获取文件列表", ">>>获取多媒体列表失败：-7"}));
}

void TestPages::fileListExactlyBufferSize() {
  // Fill the teller photo folder until its list is exactly 512 characters
  // long; the length is learned from the library itself so the test does
  // not depend on how the terminal separates names.
  tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
  TLX_SDK& sdk = f.window().sdk();
  auto listLength = [&]() {
    static char big[8192];
    memset(big, 0, sizeof(big));
    const int ret = sdk.pGetFileList(0, 0, 9600, 2, big, sizeof(big));
    return ret == 0 ? static_cast<int>(strlen(big)) : -1;
  };
  auto store = [&](const std::string& name) {
    std::lock_guard<std::mutex> lock(impl.mu);
    return impl.WriteTerminalFile(impl.MediaPath(2, name), "x");
  };
  QVERIFY(store("a.jpg"));
  int len = listLength();
  QVERIFY(len > 0);
  int i = 0;
  while (len < 512 - 40) {
    QVERIFY(store(QStringLiteral("teller%1.jpg").arg(i++, 3, 10, QLatin1Char('0')).toStdString()));
    len = listLength();
  }
  // One more name sized so that the list ends exactly at 512.
  const int before = len;
  QVERIFY(store("zz.jpg"));
  const int grown = listLength() - before;  // separator plus 6 characters
  {
    std::lock_guard<std::mutex> lock(impl.mu);
    QVERIFY(QFile::remove(QString::fromStdString(impl.HostPath(impl.MediaPath(2, "zz.jpg")))));
  }
  const int nameLength = 6 + (512 - before - grown);
  QVERIFY(nameLength > 4);
  const std::string last = std::string(static_cast<size_t>(nameLength - 4), 'z') + ".jpg";
  QVERIFY(store(last));
  QCOMPARE(listLength(), 512);

  f.SetIndex("CbxMediaType", 2);
  QStringList lines = run("BtnGetMdiaList");
  QCOMPARE(lines.size(), 2);
  const QString prefix = QStringLiteral(">>>获取多媒体文件列表成功，柜员头像：");
  QVERIFY(lines[1].startsWith(prefix));
  QCOMPARE(lines[1].size() - prefix.size(), 512);
  QVERIFY(lines[1].endsWith(QString::fromStdString(last)));

  // One character more does not fit: refused with -10.
  f.Reset();
  {
    std::lock_guard<std::mutex> lock(impl.mu);
    QVERIFY(QFile::remove(QString::fromStdString(impl.HostPath(impl.MediaPath(2, last)))));
  }
  QVERIFY(store("z" + last));
  QCOMPARE(run("BtnGetMdiaList"), QStringList({"获取文件列表", ">>>获取多媒体列表失败：-10"}));
}

void TestPages::downloadQueryDelete() {
  const QString path = writeFile("advert.png", QByteArray(5000, 'p'));
  f.SetIndex("CbxMediaType", 0);
  f.SetText("EditMediaDwnPath", path);
  QCOMPARE(run("BtnMediaDwn"),
           QStringList({"文件下载", ">>>下载广告图片, 文件路径：" + path, ">>>下载文件成功"}));

  f.Reset();
  f.SetText("EditMediaName", QStringLiteral("advert.png"));
  QStringList lines = run("BtnMediaQuery");
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0], QStringLiteral("文件查询"));
  QCOMPARE(lines[1], QStringLiteral(">>>查询广告图片, 文件名：advert.png"));
  QVERIFY2(lines[2].startsWith(QStringLiteral(">>>文件查询成功：")), qPrintable(lines[2]));
  QVERIFY(lines[2].size() > QStringLiteral(">>>文件查询成功：").size());

  f.Reset();
  QCOMPARE(run("BtnMediaDel"),
           QStringList({"文件删除", ">>>删除广告图片, 文件名：advert.png", ">>>文件删除成功："}));
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    for (const std::string& name : impl.MediaFiles(0)) QVERIFY(name != "advert.png");
  }

  f.Reset();
  f.terminal().SetFault("QUERYFILE", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnMediaQuery"),
           QStringList({"文件查询", ">>>查询广告图片, 文件名：advert.png", ">>>文件查询失败：-7"}));

  f.Reset();
  f.SetText("EditMediaDwnPath", m_files.filePath("missing.png"));
  QStringList missing = run("BtnMediaDwn");
  QCOMPARE(missing.size(), 3);
  QCOMPARE(missing[2], QStringLiteral(">>>下载文件失败：-6"));
}

void TestPages::mediaGuards() {
  f.SetText("EditMediaDwnPath", QString());
  f.SetText("EditMediaName", QString());
  f.SetText("EditUpdatePath", QString());
  QCOMPARE(run("BtnMediaDwn"), QStringList({"文件下载", ">>>请设置待下载文件路径"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnMediaQuery"), QStringList({"文件查询", ">>>请设置待查询文件名"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnMediaDel"), QStringList({"文件删除", ">>>请设置待删除文件名"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnUpdateStart"), QStringList({"固件升级", ">>>请设置固件路径"}));
  QCOMPARE(f.Commands(), size_t(0));
}

void TestPages::firmwareUpgrade() {
  const QString path = writeFile("fw.bin", QByteArray(4096, '\x5a'));
  f.SetIndex("CbxMediaType", 1);  // ignored: the upgrade always uses type 4
  f.SetText("EditUpdatePath", path);
  QCOMPARE(run("BtnUpdateStart"),
           QStringList({"固件升级", ">>>下载固件：" + path, ">>>固件升级成功"}));
  tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  QVERIFY(impl.HasUpgradePackage());
}

void TestPages::unsavedSettingsUsedByNextCall() {
  // A serial port nobody serves, typed into the settings but not saved:
  // the very next call tries that port and cannot open it.
  QLineEdit* port = f.window().configDialog().findChild<QLineEdit*>(QStringLiteral("EditCom"));
  QVERIFY(port);
  port->setText(QStringLiteral("9"));
  QCOMPARE(f.window().getCom(), 9);
  QCOMPARE(run("BtnCheckDev"), QStringList({"检测设备是否在线", ">>>检测设备失败：-3"}));
  QCOMPARE(f.Commands(), size_t(0));

  f.Click("pushButton");
  port->setText(QStringLiteral("0"));
  QCOMPARE(run("BtnCheckDev"), QStringList({"检测设备是否在线", ">>>检测设备成功：R40"}));
  QVERIFY(f.Commands() > 0);
  QVERIFY(!QFile::exists(QStringLiteral("config.ini")));
}

void TestPages::serialLinkThroughSettings() {
  // Port 1 in the settings: the call goes over the terminal's serial line.
  QLineEdit* port = f.window().configDialog().findChild<QLineEdit*>(QStringLiteral("EditCom"));
  port->setText(QString::number(f.terminal().serialPort()));
  const QStringList lines = run("BtnCheckDev");
  port->setText(QStringLiteral("0"));
  QCOMPARE(lines, QStringList({"检测设备是否在线", ">>>检测设备成功：R40"}));
  bool serial = false;
  for (const tlxsim::Received& r : f.terminal().History())
    serial =
        serial || (r.link == tlxsim::Link::Serial && r.bytes.find("CHECKR40") != std::string::npos);
  QVERIFY(serial);
}

// ---- PIN pad ----------------------------------------------------------------

// The forms bring no key texts of their own; the output pane names a key
// by its index and length, never its text.
void TestPages::keyCommands() {
  for (const char* edit : {"EditOldMK", "EditNewMK", "EditWK"}) f.SetText(edit, QString());
  QCOMPARE(run("BtnInit"), QStringList({"初始化密钥", ">>>密钥初始化完成"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnDwnMK"), QStringList({"下载主密钥", "0: new key 0 digits, old key 0 digits",
                                         ">>>主密钥下载失败：-1"}));
  SetKeys();
  f.Click("pushButton");
  QCOMPARE(run("BtnDwnMK"), QStringList({"下载主密钥", "0: new key 16 digits, old key 16 digits",
                                         ">>>主密钥下载成功"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnDwnWK"),
           QStringList({"下载工作密钥", "0,0: key 16 digits", ">>>工作密钥下载成功"}));
  f.Click("pushButton");
  QCOMPARE(run("BtnActWK"), QStringList({"激活工作密钥", "密钥号：0,0", ">>>工作密钥激活成功"}));

  const QString pane =
      f.window().findChild<QPlainTextEdit*>(QStringLiteral("EditLog"))->toPlainText();
  for (const char* key : {kNewMasterKey, kOldMasterKey, kWorkKey})
    QVERIFY2(!pane.contains(QLatin1String(key)), key);

  tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  QVERIFY(!impl.state.masterKeys[0].empty());
  QCOMPARE(impl.state.activeMaster, 0);
  QCOMPARE(impl.state.activeWork, 0);
}

void TestPages::keyCommandRefusedAndSilent() {
  f.terminal().SetFault("R", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnInit"), QStringList({"初始化密钥", ">>>密钥初始化失败：-7"}));
  f.Reset();
  f.terminal().SetFault("R", Fault{FaultKind::Silence, 0, -1});
  QCOMPARE(run("BtnInit"), QStringList({"初始化密钥", ">>>密钥初始化失败：-2"}));
}

void TestPages::activateLogsIndexes() {
  f.SetIndex("CbxMid", 3);
  f.SetIndex("CbxWid", 7);
  const QStringList lines = run("BtnActWK");
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0], QStringLiteral("激活工作密钥"));
  QCOMPARE(lines[1], QStringLiteral("密钥号：3,7"));
  QVERIFY(lines[2].startsWith(QStringLiteral(">>>工作密钥激活")));
  f.SetIndex("CbxMid", 0);
  f.SetIndex("CbxWid", 0);
}

void TestPages::plainPin() {
  tlxsim::Customer c = f.QuickCustomer();
  c.pin.value = "4321";
  f.terminal().SetCustomer(c);
  f.SetText("EditPinLen", QStringLiteral("4"));
  // The plain PIN is shown masked.
  QCOMPARE(run("BtnStart"),
           QStringList({"启动明文密码键盘", ">>>设置密码长度成功", ">>>密码输入完成：****"}));
  f.SetText("EditPinLen", QStringLiteral("6"));
}

void TestPages::encryptedPins() {
  f.Click("BtnInit");
  SetKeys();
  f.Click("BtnDwnMK");
  f.Click("BtnDwnWK");
  f.Click("BtnActWK");
  f.Reset();

  const QRegularExpression block(QStringLiteral("^>>>密码输入完成：([0-9A-F]{16}|[0-9A-F]{32})$"));
  QStringList lines = run("BtnStartEnc");
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0], QStringLiteral("启动密文密码键盘"));
  QCOMPARE(lines[1], QStringLiteral(">>>设置密码长度成功"));
  QVERIFY2(block.match(lines[2]).hasMatch(), qPrintable(lines[2]));

  f.Reset();
  lines = run("BtnStartAnsi");
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0], QStringLiteral("启动ANSI密码键盘"));
  QVERIFY2(block.match(lines[2]).hasMatch(), qPrintable(lines[2]));
  QVERIFY(f.Received("1234567890123456"));

  f.Reset();
  f.terminal().SetFault("I", Fault{FaultKind::Refuse, 0, -1});
  lines = run("BtnStartAnsi");
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[2], QStringLiteral(">>>密码输入失败：-7"));
}

void TestPages::pinLengthNotNumber() {
  f.SetText("EditPinLen", QStringLiteral("abc"));
  QCOMPARE(run("BtnStart"), QStringList({"启动明文密码键盘", ">>>设置密码长度失败：-1"}));
  f.SetText("EditPinLen", QStringLiteral("6"));
}

void TestPages::ansiGuard() {
  f.SetText("EditAccNo", QString());
  QCOMPARE(run("BtnStartAnsi"), QStringList({"启动ANSI密码键盘", ">>>请输入帐号"}));
  QCOMPARE(f.Commands(), size_t(0));
  f.SetText("EditAccNo", QStringLiteral("1234567890123456"));
}

// ---- Interaction and signature ---------------------------------------------

void TestPages::information() {
  f.SetText("EditInfoPath", writeFile("info.txt", QStringLiteral("请确认您的业务信息").toUtf8()));
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互完成：确认"}));
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    // The terminal got the text in GBK.
    QCOMPARE(
        QByteArray::fromStdString(impl.state.infoText),
        QByteArray("\xc7\xeb\xc8\xb7\xc8\xcf\xc4\xfa\xb5\xc4\xd2\xb5\xce\xf1\xd0\xc5\xcf\xa2"));
  }

  // Only the part before a NUL byte in the file goes out; CR LF is read
  // as LF.
  f.Reset();
  f.SetText("EditInfoPath", writeFile("nul.txt", QByteArray("line1\r\nline2\0hidden", 19)));
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互完成：确认"}));
  {
    tlxsim::EngineImpl& impl = f.terminal().engine().Impl();
    std::lock_guard<std::mutex> lock(impl.mu);
    QCOMPARE(QByteArray::fromStdString(impl.state.infoText), QByteArray("line1\nline2"));
  }

  f.Reset();
  tlxsim::Customer c = f.QuickCustomer();
  c.info.value = "B1F";
  f.terminal().SetCustomer(c);
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互完成：取消"}));
}

void TestPages::informationGuardsAndRefusal() {
  f.SetText("EditInfoPath", QString());
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>请设置交互信息路径"}));
  f.Click("pushButton");
  f.SetText("EditInfoPath", m_files.filePath("nothing-here.txt"));
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>文件打开失败"}));
  f.Click("pushButton");
  f.SetText("EditInfoPath", writeFile("empty.txt", QByteArray()));
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互失败：-1"}));
  QCOMPARE(f.Commands(), size_t(0));

  f.Reset();
  f.SetText("EditInfoPath", writeFile("info.txt", QByteArray("hello")));
  // A refusal is no answer the page knows: only the title line remains.
  f.terminal().SetFault("2A", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互"}));
  QVERIFY(f.Received("\x1b[2A"));

  f.Reset();
  f.SetText("EditTimeout", QStringLiteral("1"), 2);
  f.terminal().SetFault("2A", Fault{FaultKind::Silence, 0, -1});
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互失败：-2"}));

  f.Reset();
  f.SetText("EditTimeout", QStringLiteral("x"), 2);
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互失败：-1"}));
  f.SetText("EditTimeout", QStringLiteral("30"), 2);
}

void TestPages::informationTerminalTimeout() {
  tlxsim::Customer c = f.QuickCustomer();
  c.info.answers = false;
  f.terminal().SetCustomer(c);
  f.SetText("EditInfoPath", writeFile("info.txt", QByteArray("hello")));
  f.SetText("EditTimeout", QStringLiteral("1"), 2);
  QCOMPARE(run("pushButton_40"), QStringList({"信息交互", ">>>交互完成：超时"}));
  f.SetText("EditTimeout", QStringLiteral("30"), 2);
}

void TestPages::signature() {
  // The signature goes into the user's private folder, not /tmp.
  const QString image = PrivateOutputPath(QStringLiteral("hw.png"));
  const QString data = PrivateOutputPath(QStringLiteral("hw.ini"));
  QVERIFY(!image.startsWith(QStringLiteral("/tmp/hw")));
  QFile::remove(image);
  QFile::remove(data);
  f.SetText("EditSignPath", writeFile("hwBack.pdf", QByteArray("%PDF-1.4\n%%EOF\n")));
  QCOMPARE(run("BtnSign"), QStringList({"电子签名", ">>>签名完成"}));

  QImage picture(image);
  QVERIFY(!picture.isNull());
  QCOMPARE(QFile::permissions(image) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
           QFileDevice::Permissions());
  QVERIFY(QFile::exists(data));
  QLabel* label = f.Child<QLabel>("LabelSignPic");
  const QPixmap shown = label->pixmap(Qt::ReturnByValue);
  QVERIFY(!shown.isNull());
  // The picture sits in the middle of its frame, also once the page's
  // style has been applied to the label.
  label->ensurePolished();
  QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
  const QSize expected = picture.width() > label->width() || picture.height() > label->height()
                             ? picture.size().scaled(label->size(), Qt::KeepAspectRatio)
                             : picture.size();
  QCOMPARE(shown.size(), expected);

  QFile dataFile(data);
  QVERIFY(dataFile.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString trajectory = QString::fromUtf8(dataFile.readAll());
  QVERIFY(!trajectory.isEmpty());
  QCOMPARE(f.Child<QPlainTextEdit>("EditSignData")->toPlainText(), trajectory);
}

void TestPages::signatureRefusedKeepsPicture() {
  f.SetText("EditSignPath", writeFile("hwBack.pdf", QByteArray("%PDF-1.4\n%%EOF\n")));
  f.Click("BtnSign");
  QLabel* label = f.Child<QLabel>("LabelSignPic");
  QVERIFY(!label->pixmap(Qt::ReturnByValue).isNull());
  const qint64 before = label->pixmap(Qt::ReturnByValue).cacheKey();
  const QString text = f.Child<QPlainTextEdit>("EditSignData")->toPlainText();

  f.Reset();
  f.terminal().SetFault("HANDSIGN", Fault{FaultKind::Refuse, 0, -1});
  QCOMPARE(run("BtnSign"), QStringList({"电子签名", ">>>签名失败：-7"}));
  QCOMPARE(label->pixmap(Qt::ReturnByValue).cacheKey(), before);
  QCOMPARE(f.Child<QPlainTextEdit>("EditSignData")->toPlainText(), text);

  f.Reset();
  f.SetText("EditSignPath", QString());
  QCOMPARE(run("BtnSign"), QStringList({"电子签名", ">>>请设置凭证路径"}));
  QCOMPARE(f.Commands(), size_t(0));
}

// ---- No library ---------------------------------------------------------------

void TestPages::unboundCallsNothing() {
  MainDialog unbound(nullptr, "./no-such-library.so");
  QVERIFY(!unbound.sdk().IsBound());
  const char* buttons[] = {"BtnCheckDev",    "BtnGetVer",  "BtnReboot",     "BtnVolSet",
                           "BtnGetMdiaList", "BtnInit",    "BtnDwnMK",      "BtnDwnWK",
                           "BtnActWK",       "BtnStart",   "BtnStartEnc",   "BtnStartAnsi",
                           "BtnStartEva",    "BtnInputPh", "BtnInputAmount"};
  QPlainTextEdit* log = unbound.findChild<QPlainTextEdit*>(QStringLiteral("EditLog"));
  for (const char* name : buttons) {
    log->clear();
    unbound.findChild<QAbstractButton*>(QLatin1String(name))->click();
    const QStringList lines = log->toPlainText().split(QLatin1Char('\n'));
    QVERIFY2(lines.size() >= 2, name);
    QCOMPARE(lines.last(), QStringLiteral(">>>调用失败：动态库未加载(./libtlxdev.so)"));
  }
  QVERIFY(!unbound.evaNumPage()->worker()->isRunning());
  QCOMPARE(f.Commands(), size_t(0));
}

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
