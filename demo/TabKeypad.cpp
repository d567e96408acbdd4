#include "TabKeypad.h"
#include "ui_TabKeypad.h"

#include "BufferText.h"
#include "MainDialog.h"
#include "OutputSizes.h"
#include "PageStyle.h"

#include <cstring>

TabKeypad::TabKeypad(MainDialog *parent)
    : QDialog(parent)
    , MainWindowPxy(parent, &parent->sdk())
    , ui(new Ui::TabKeypad)
{
    ui->setupUi(this);
    ApplyPageStyle(this);
}

TabKeypad::~TabKeypad()
{
    delete ui;
}

void TabKeypad::on_BtnInit_clicked()
{
    m_pMainDlg->Log(QStringLiteral("初始化密钥"));
    if (!CheckBound())
        return;
    const int ret = m_pSdk->pResetKey(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                      m_pMainDlg->getBaud());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>密钥初始化完成"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>密钥初始化失败：") + QString::number(ret));
}

void TabKeypad::on_BtnDwnMK_clicked()
{
    m_pMainDlg->Log(QStringLiteral("下载主密钥"));
    const int mk = ui->CbxMid->currentIndex();
    QByteArray newKey = ui->EditNewMK->text().toUtf8();
    QByteArray oldKey = ui->EditOldMK->text().toUtf8();
    // Keys are named by index and length, never shown.
    m_pMainDlg->Log(QStringLiteral("%1: new key %2 digits, old key %3 digits")
                        .arg(mk)
                        .arg(newKey.size())
                        .arg(oldKey.size()));
    if (!CheckBound())
        return;
    const int ret = m_pSdk->pUpdateMKey(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                        m_pMainDlg->getBaud(), mk, newKey.data(), oldKey.data());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>主密钥下载成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>主密钥下载失败：") + QString::number(ret));
}

void TabKeypad::on_BtnDwnWK_clicked()
{
    m_pMainDlg->Log(QStringLiteral("下载工作密钥"));
    const int mk = ui->CbxMid->currentIndex();
    const int wk = ui->CbxWid->currentIndex();
    QByteArray workKey = ui->EditWK->text().toUtf8();
    m_pMainDlg->Log(QStringLiteral("%1,%2: key %3 digits").arg(mk).arg(wk).arg(workKey.size()));
    if (!CheckBound())
        return;
    const int ret = m_pSdk->pDownLoadWKey(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                          m_pMainDlg->getBaud(), mk, wk, workKey.data());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>工作密钥下载成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>工作密钥下载失败：") + QString::number(ret));
}

void TabKeypad::on_BtnActWK_clicked()
{
    m_pMainDlg->Log(QStringLiteral("激活工作密钥"));
    const int mk = ui->CbxMid->currentIndex();
    const int wk = ui->CbxWid->currentIndex();
    m_pMainDlg->Log(QString::asprintf("密钥号：%d,%d", mk, wk));
    if (!CheckBound())
        return;
    const int ret = m_pSdk->pActiveWKey(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                        m_pMainDlg->getBaud(), mk, wk);
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>工作密钥激活成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>工作密钥激活失败：") + QString::number(ret));
}

void TabKeypad::RunPinEntry(const std::function<int(int, int, char *)> &entry, char *buffer,
                            int bufferSize, bool plainPin)
{
    const int pinLen = ui->EditPinLen->text().toInt(nullptr, 10);
    const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
    const int prompt = ui->CbxAudio->currentIndex();
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));

    m_pSdk->pSetShowDISP(m_pMainDlg->getCom(), m_pMainDlg->getBP(), m_pMainDlg->getBaud(), 1, 1);

    int ret = m_pSdk->pSetPinLen(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                 m_pMainDlg->getBaud(), pinLen);
    if (ret != 0) {
        m_pMainDlg->Log(QStringLiteral(">>>设置密码长度失败：") + QString::number(ret));
        return;
    }
    m_pMainDlg->Log(QStringLiteral(">>>设置密码长度成功"));

    ret = entry(prompt, timeout, buffer);
    if (ret == 0) {
        const QString entered = BufferText(buffer, static_cast<size_t>(bufferSize));
        // A plain PIN is shown masked, one '*' per character.
        m_pMainDlg->Log(QStringLiteral(">>>密码输入完成：")
                        + (plainPin ? QString(entered.size(), QLatin1Char('*')) : entered));
    }
    else
        m_pMainDlg->Log(QStringLiteral(">>>密码输入失败：") + QString::number(ret));
    // The entered PIN or PIN block does not stay behind in this page.
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));
}

void TabKeypad::on_BtnStart_clicked()
{
    m_pMainDlg->Log(QStringLiteral("启动明文密码键盘"));
    if (!CheckBound())
        return;
    char pin[kPinSize];
    RunPinEntry(
        [this](int prompt, int timeout, char *buffer) {
            return m_pSdk->pReadPin(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                    m_pMainDlg->getBaud(), 0, prompt, timeout, buffer,
                                    static_cast<int>(kPinSize));
        },
        pin, static_cast<int>(sizeof(pin)), true);
}

void TabKeypad::on_BtnStartEnc_clicked()
{
    m_pMainDlg->Log(QStringLiteral("启动密文密码键盘"));
    if (!CheckBound())
        return;
    // No size travels with this call: the buffer holds the longest block
    // the library may write, plus a terminating zero.
    char block[kPinBlockSize];
    RunPinEntry(
        [this](int prompt, int timeout, char *buffer) {
            return m_pSdk->pReadPinDES(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                       m_pMainDlg->getBaud(), prompt, 3, timeout, buffer);
        },
        block, static_cast<int>(sizeof(block)), false);
}

void TabKeypad::on_BtnStartAnsi_clicked()
{
    m_pMainDlg->Log(QStringLiteral("启动ANSI密码键盘"));
    const QString account = ui->EditAccNo->text();
    if (account.isEmpty()) {
        m_pMainDlg->Log(QStringLiteral(">>>请输入帐号"));
        return;
    }
    if (!CheckBound())
        return;
    QByteArray accountBytes = account.toUtf8();
    char block[kPinBlockSize];
    RunPinEntry(
        [this, &accountBytes](int prompt, int timeout, char *buffer) {
            return m_pSdk->pReadPinAnsi(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                        m_pMainDlg->getBaud(), prompt, 3, timeout,
                                        accountBytes.data(), buffer);
        },
        block, static_cast<int>(sizeof(block)), false);
}
