#include "TabBasic.h"
#include "ui_TabBasic.h"

#include "BufferText.h"
#include "MainDialog.h"
#include "OutputSizes.h"
#include "PageStyle.h"

TabBasic::TabBasic(MainDialog* parent)
    : QDialog(parent), MainWindowPxy(parent, &parent->sdk()), ui(new Ui::TabBasic) {
  ui->setupUi(this);
  ApplyPageStyle(this);
  ui->CbxVolType->setCurrentIndex(0);
  ui->SldVol->setMaximum(5);
}

TabBasic::~TabBasic() { delete ui; }

void TabBasic::on_BtnCheckDev_clicked() {
  m_pMainDlg->Log(QStringLiteral("检测设备是否在线"));
  char model[kModelSize] = {};
  RunCall([&](const LinkSettings& l) { return m_pSdk->pCheckOnline(l.port, l.bp, l.baud, model); },
          [&] { return QStringLiteral(">>>检测设备成功：") + BufferText(model); },
          QStringLiteral(">>>检测设备失败："));
}

void TabBasic::on_BtnGetVer_clicked() {
  m_pMainDlg->Log(QStringLiteral("获取软件版本号"));
  char version[kVersionSize] = {};
  RunCall([&](const LinkSettings& l) { return m_pSdk->pGetVer(l.port, l.bp, l.baud, version); },
          [&] { return QStringLiteral(">>>获取版本成功：") + BufferText(version); },
          QStringLiteral(">>>检测版本失败："));
}

void TabBasic::on_BtnReboot_clicked() {
  m_pMainDlg->Log(QStringLiteral("设备重启"));
  RunCall([&](const LinkSettings& l) { return m_pSdk->pRestartSys(l.port, l.bp, l.baud); },
          QStringLiteral(">>>重启设备成功"), QStringLiteral(">>>重启设备失败："));
}

void TabBasic::on_BtnVolSet_clicked() {
  m_pMainDlg->Log(QStringLiteral("设置音量"));
  const int kind = ui->CbxVolType->currentIndex() + 1;
  const int level = ui->SldVol->value();
  RunCall(
      [&](const LinkSettings& l) { return m_pSdk->pSetVolume(l.port, l.bp, l.baud, kind, level); },
      QStringLiteral(">>>设置音量成功"), QStringLiteral(">>>设置音量失败："));
}

void TabBasic::on_BtnGetMdiaList_clicked() {
  m_pMainDlg->Log(QStringLiteral("获取文件列表"));
  // A list of exactly kFileListSize characters arrives without a NUL;
  // BufferText stops at the buffer's end in that case.
  char list[kFileListSize] = {};
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pGetFileList(l.port, l.bp, l.baud, ui->CbxMediaType->currentIndex(), list,
                                    static_cast<int>(sizeof(list)));
      },
      [&] {
        return QStringLiteral(">>>获取多媒体文件列表成功，") + ui->CbxMediaType->currentText() +
               QStringLiteral("：") + BufferText(list);
      },
      QStringLiteral(">>>获取多媒体列表失败："));
}

bool TabBasic::TakeInput(const QString& title, const QLineEdit* field, const QString& missing,
                         const QString& announce, QByteArray* latin1) {
  m_pMainDlg->Log(title);
  const QString text = field->text();
  if (text.isEmpty()) {
    m_pMainDlg->Log(missing);
    return false;
  }
  m_pMainDlg->Log(announce + text);
  *latin1 = text.toLatin1();
  return true;
}

void TabBasic::on_BtnMediaDwn_clicked() {
  QByteArray local;
  if (!TakeInput(QStringLiteral("文件下载"), ui->EditMediaDwnPath,
                 QStringLiteral(">>>请设置待下载文件路径"),
                 QStringLiteral(">>>下载") + ui->CbxMediaType->currentText() +
                     QStringLiteral(", 文件路径："),
                 &local))
    return;
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pDownLoadFile(l.port, l.bp, l.baud, ui->CbxMediaType->currentIndex(),
                                     local.data());
      },
      QStringLiteral(">>>下载文件成功"), QStringLiteral(">>>下载文件失败："));
}

void TabBasic::on_BtnMediaQuery_clicked() {
  QByteArray file;
  if (!TakeInput(QStringLiteral("文件查询"), ui->EditMediaName,
                 QStringLiteral(">>>请设置待查询文件名"),
                 QStringLiteral(">>>查询") + ui->CbxMediaType->currentText() +
                     QStringLiteral(", 文件名："),
                 &file))
    return;
  char info[kFileInfoSize] = {};
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pFindFileInfo(l.port, l.bp, l.baud, ui->CbxMediaType->currentIndex(),
                                     file.data(), info);
      },
      [&] { return QStringLiteral(">>>文件查询成功：") + BufferText(info); },
      QStringLiteral(">>>文件查询失败："));
}

void TabBasic::on_BtnMediaDel_clicked() {
  QByteArray file;
  if (!TakeInput(QStringLiteral("文件删除"), ui->EditMediaName,
                 QStringLiteral(">>>请设置待删除文件名"),
                 QStringLiteral(">>>删除") + ui->CbxMediaType->currentText() +
                     QStringLiteral(", 文件名："),
                 &file))
    return;
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pDeleteFile(l.port, l.bp, l.baud, ui->CbxMediaType->currentIndex(),
                                   file.data());
      },
      QStringLiteral(">>>文件删除成功："), QStringLiteral(">>>文件删除失败："));
}

void TabBasic::on_BtnUpdateStart_clicked() {
  QByteArray local;
  if (!TakeInput(QStringLiteral("固件升级"), ui->EditUpdatePath,
                 QStringLiteral(">>>请设置固件路径"), QStringLiteral(">>>下载固件："), &local))
    return;
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pDownLoadFile(l.port, l.bp, l.baud, 4, local.data());
      },
      QStringLiteral(">>>固件升级成功"), QStringLiteral(">>>固件升级失败："));
}

void TabBasic::on_CbxVolType_currentIndexChanged(int index) {
  if (index == 0)
    ui->SldVol->setMaximum(5);
  else if (index == 1 || index == 2)
    ui->SldVol->setMaximum(15);
  ui->SldVol->setValue(0);
}

void TabBasic::on_SldVol_valueChanged(int value) { ui->LabelVol->setText(QString::number(value)); }
