#include "TabKeypad.h"
#include "ui_TabKeypad.h"

#include "BufferText.h"
#include "MainDialog.h"
#include "OutputSizes.h"
#include "PageStyle.h"

#include <cstring>

TabKeypad::TabKeypad(MainDialog* parent)
    : QDialog(parent), MainWindowPxy(parent, &parent->sdk()), ui(new Ui::TabKeypad) {
  ui->setupUi(this);
  ApplyPageStyle(this);
}

TabKeypad::~TabKeypad() { delete ui; }

void TabKeypad::on_BtnInit_clicked() {
  m_pMainDlg->Log(QStringLiteral("初始化密钥"));
  RunCall([&](const LinkSettings& l) { return m_pSdk->pResetKey(l.port, l.bp, l.baud); },
          QStringLiteral(">>>密钥初始化完成"), QStringLiteral(">>>密钥初始化失败："));
}

void TabKeypad::on_BtnDwnMK_clicked() {
  m_pMainDlg->Log(QStringLiteral("下载主密钥"));
  const int mk = ui->CbxMid->currentIndex();
  QByteArray newKey = ui->EditNewMK->text().toUtf8();
  QByteArray oldKey = ui->EditOldMK->text().toUtf8();
  // Keys are named by index and length, never shown.
  m_pMainDlg->Log(QStringLiteral("%1: new key %2 digits, old key %3 digits")
                      .arg(mk)
                      .arg(newKey.size())
                      .arg(oldKey.size()));
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pUpdateMKey(l.port, l.bp, l.baud, mk, newKey.data(), oldKey.data());
      },
      QStringLiteral(">>>主密钥下载成功"), QStringLiteral(">>>主密钥下载失败："));
}

void TabKeypad::on_BtnDwnWK_clicked() {
  m_pMainDlg->Log(QStringLiteral("下载工作密钥"));
  const int mk = ui->CbxMid->currentIndex();
  const int wk = ui->CbxWid->currentIndex();
  QByteArray workKey = ui->EditWK->text().toUtf8();
  m_pMainDlg->Log(QStringLiteral("%1,%2: key %3 digits").arg(mk).arg(wk).arg(workKey.size()));
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pDownLoadWKey(l.port, l.bp, l.baud, mk, wk, workKey.data());
      },
      QStringLiteral(">>>工作密钥下载成功"), QStringLiteral(">>>工作密钥下载失败："));
}

void TabKeypad::on_BtnActWK_clicked() {
  m_pMainDlg->Log(QStringLiteral("激活工作密钥"));
  const int mk = ui->CbxMid->currentIndex();
  const int wk = ui->CbxWid->currentIndex();
  m_pMainDlg->Log(QString::asprintf("密钥号：%d,%d", mk, wk));
  RunCall([&](const LinkSettings& l) { return m_pSdk->pActiveWKey(l.port, l.bp, l.baud, mk, wk); },
          QStringLiteral(">>>工作密钥激活成功"), QStringLiteral(">>>工作密钥激活失败："));
}

void TabKeypad::RunPinEntry(const std::function<int(const LinkSettings&, int, int, char*)>& entry,
                            char* buffer, int bufferSize, bool plainPin) {
  if (!CheckBound()) return;
  const int pinLen = ui->EditPinLen->text().toInt(nullptr, 10);
  const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
  const int prompt = ui->CbxAudio->currentIndex();
  std::memset(buffer, 0, static_cast<size_t>(bufferSize));

  const LinkSettings link = m_pMainDlg->getLink();
  m_pSdk->pSetShowDISP(link.port, link.bp, link.baud, 1, 1);

  const bool lengthSet = RunCall(
      [&](const LinkSettings& l) { return m_pSdk->pSetPinLen(l.port, l.bp, l.baud, pinLen); },
      QStringLiteral(">>>设置密码长度成功"), QStringLiteral(">>>设置密码长度失败："));
  if (!lengthSet) return;

  RunCall([&](const LinkSettings& l) { return entry(l, prompt, timeout, buffer); },
          [&] {
            const QString entered = BufferText(buffer, static_cast<size_t>(bufferSize));
            // A plain PIN is shown masked, one '*' per character.
            return QStringLiteral(">>>密码输入完成：") +
                   (plainPin ? QString(entered.size(), QLatin1Char('*')) : entered);
          },
          QStringLiteral(">>>密码输入失败："));
  // The entered PIN or PIN block does not stay behind in this page.
  std::memset(buffer, 0, static_cast<size_t>(bufferSize));
}

void TabKeypad::on_BtnStart_clicked() {
  m_pMainDlg->Log(QStringLiteral("启动明文密码键盘"));
  char pin[kPinSize];
  RunPinEntry(
      [this](const LinkSettings& l, int prompt, int timeout, char* buffer) {
        return m_pSdk->pReadPin(l.port, l.bp, l.baud, 0, prompt, timeout, buffer,
                                static_cast<int>(kPinSize));
      },
      pin, static_cast<int>(sizeof(pin)), true);
}

void TabKeypad::on_BtnStartEnc_clicked() {
  m_pMainDlg->Log(QStringLiteral("启动密文密码键盘"));
  // No size travels with this call: the buffer holds the longest block
  // the library may write, plus a terminating zero.
  char block[kPinBlockSize];
  RunPinEntry(
      [this](const LinkSettings& l, int prompt, int timeout, char* buffer) {
        return m_pSdk->pReadPinDES(l.port, l.bp, l.baud, prompt, 3, timeout, buffer);
      },
      block, static_cast<int>(sizeof(block)), false);
}

void TabKeypad::on_BtnStartAnsi_clicked() {
  m_pMainDlg->Log(QStringLiteral("启动ANSI密码键盘"));
  const QString account = ui->EditAccNo->text();
  if (account.isEmpty()) {
    m_pMainDlg->Log(QStringLiteral(">>>请输入帐号"));
    return;
  }
  QByteArray accountBytes = account.toUtf8();
  char block[kPinBlockSize];
  RunPinEntry(
      [this, &accountBytes](const LinkSettings& l, int prompt, int timeout, char* buffer) {
        return m_pSdk->pReadPinAnsi(l.port, l.bp, l.baud, prompt, 3, timeout, accountBytes.data(),
                                    buffer);
      },
      block, static_cast<int>(sizeof(block)), false);
}
