#include "TabBasic.h"
#include "ui_TabBasic.h"

#include "BufferText.h"
#include "MainDialog.h"
#include "OutputSizes.h"
#include "PageStyle.h"

TabBasic::TabBasic(MainDialog *parent)
    : QDialog(parent)
    , MainWindowPxy(parent, &parent->sdk())
    , ui(new Ui::TabBasic)
{
    ui->setupUi(this);
    ApplyPageStyle(this);
    ui->CbxVolType->setCurrentIndex(0);
    ui->SldVol->setMaximum(5);
}

TabBasic::~TabBasic()
{
    delete ui;
}

void TabBasic::on_BtnCheckDev_clicked()
{
    m_pMainDlg->Log(QStringLiteral("检测设备是否在线"));
    if (!CheckBound())
        return;
    char model[kModelSize] = {};
    const int ret = m_pSdk->pCheckOnline(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                         m_pMainDlg->getBaud(), model);
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>检测设备成功：") + BufferText(model));
    else
        m_pMainDlg->Log(QStringLiteral(">>>检测设备失败：") + QString::number(ret));
}

void TabBasic::on_BtnGetVer_clicked()
{
    m_pMainDlg->Log(QStringLiteral("获取软件版本号"));
    if (!CheckBound())
        return;
    char version[kVersionSize] = {};
    const int ret = m_pSdk->pGetVer(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                    m_pMainDlg->getBaud(), version);
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>获取版本成功：") + BufferText(version));
    else
        m_pMainDlg->Log(QStringLiteral(">>>检测版本失败：") + QString::number(ret));
}

void TabBasic::on_BtnReboot_clicked()
{
    m_pMainDlg->Log(QStringLiteral("设备重启"));
    if (!CheckBound())
        return;
    const int ret = m_pSdk->pRestartSys(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                        m_pMainDlg->getBaud());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>重启设备成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>重启设备失败：") + QString::number(ret));
}

void TabBasic::on_BtnVolSet_clicked()
{
    m_pMainDlg->Log(QStringLiteral("设置音量"));
    if (!CheckBound())
        return;
    const int kind = ui->CbxVolType->currentIndex() + 1;
    const int level = ui->SldVol->value();
    const int ret = m_pSdk->pSetVolume(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                       m_pMainDlg->getBaud(), kind, level);
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>设置音量成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>设置音量失败：") + QString::number(ret));
}

void TabBasic::on_BtnGetMdiaList_clicked()
{
    m_pMainDlg->Log(QStringLiteral("获取文件列表"));
    if (!CheckBound())
        return;
    // A list of exactly kFileListSize characters arrives without a NUL;
    // BufferText stops at the buffer's end in that case.
    char list[kFileListSize] = {};
    const int ret = m_pSdk->pGetFileList(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                         m_pMainDlg->getBaud(), ui->CbxMediaType->currentIndex(),
                                         list, static_cast<int>(sizeof(list)));
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>获取多媒体文件列表成功，") + ui->CbxMediaType->currentText()
                        + QStringLiteral("：") + BufferText(list));
    else
        m_pMainDlg->Log(QStringLiteral(">>>获取多媒体列表失败：") + QString::number(ret));
}

void TabBasic::on_BtnMediaDwn_clicked()
{
    m_pMainDlg->Log(QStringLiteral("文件下载"));
    const QString path = ui->EditMediaDwnPath->text();
    if (path.isEmpty()) {
        m_pMainDlg->Log(QStringLiteral(">>>请设置待下载文件路径"));
        return;
    }
    m_pMainDlg->Log(QStringLiteral(">>>下载") + ui->CbxMediaType->currentText()
                    + QStringLiteral(", 文件路径：") + path);
    if (!CheckBound())
        return;
    QByteArray local = path.toLatin1();
    const int ret = m_pSdk->pDownLoadFile(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                          m_pMainDlg->getBaud(), ui->CbxMediaType->currentIndex(),
                                          local.data());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>下载文件成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>下载文件失败：") + QString::number(ret));
}

void TabBasic::on_BtnMediaQuery_clicked()
{
    m_pMainDlg->Log(QStringLiteral("文件查询"));
    const QString name = ui->EditMediaName->text();
    if (name.isEmpty()) {
        m_pMainDlg->Log(QStringLiteral(">>>请设置待查询文件名"));
        return;
    }
    m_pMainDlg->Log(QStringLiteral(">>>查询") + ui->CbxMediaType->currentText()
                    + QStringLiteral(", 文件名：") + name);
    if (!CheckBound())
        return;
    QByteArray file = name.toLatin1();
    char info[kFileInfoSize] = {};
    const int ret = m_pSdk->pFindFileInfo(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                          m_pMainDlg->getBaud(), ui->CbxMediaType->currentIndex(),
                                          file.data(), info);
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>文件查询成功：") + BufferText(info));
    else
        m_pMainDlg->Log(QStringLiteral(">>>文件查询失败：") + QString::number(ret));
}

void TabBasic::on_BtnMediaDel_clicked()
{
    m_pMainDlg->Log(QStringLiteral("文件删除"));
    const QString name = ui->EditMediaName->text();
    if (name.isEmpty()) {
        m_pMainDlg->Log(QStringLiteral(">>>请设置待删除文件名"));
        return;
    }
    m_pMainDlg->Log(QStringLiteral(">>>删除") + ui->CbxMediaType->currentText()
                    + QStringLiteral(", 文件名：") + name);
    if (!CheckBound())
        return;
    QByteArray file = name.toLatin1();
    const int ret = m_pSdk->pDeleteFile(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                        m_pMainDlg->getBaud(), ui->CbxMediaType->currentIndex(),
                                        file.data());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>文件删除成功："));
    else
        m_pMainDlg->Log(QStringLiteral(">>>文件删除失败：") + QString::number(ret));
}

void TabBasic::on_BtnUpdateStart_clicked()
{
    m_pMainDlg->Log(QStringLiteral("固件升级"));
    const QString path = ui->EditUpdatePath->text();
    if (path.isEmpty()) {
        m_pMainDlg->Log(QStringLiteral(">>>请设置固件路径"));
        return;
    }
    m_pMainDlg->Log(QStringLiteral(">>>下载固件：") + path);
    if (!CheckBound())
        return;
    QByteArray local = path.toLatin1();
    const int ret = m_pSdk->pDownLoadFile(m_pMainDlg->getCom(), m_pMainDlg->getBP(),
                                          m_pMainDlg->getBaud(), 4, local.data());
    if (ret == 0)
        m_pMainDlg->Log(QStringLiteral(">>>固件升级成功"));
    else
        m_pMainDlg->Log(QStringLiteral(">>>固件升级失败：") + QString::number(ret));
}

void TabBasic::on_CbxVolType_currentIndexChanged(int index)
{
    if (index == 0)
        ui->SldVol->setMaximum(5);
    else if (index == 1 || index == 2)
        ui->SldVol->setMaximum(15);
    ui->SldVol->setValue(0);
}

void TabBasic::on_SldVol_valueChanged(int value)
{
    ui->LabelVol->setText(QString::number(value));
}
