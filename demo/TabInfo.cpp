#include "TabInfo.h"

#include "ui_TabInfo.h"

#include "BufferText.h"
#include "GbkText.h"
#include "MainDialog.h"
#include "PageStyle.h"
#include "PrivateFiles.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

const char TabInfo::kSignImageName[] = "hw.png";
const char TabInfo::kSignDataName[] = "hw.ini";

namespace {

// The bytes of a text file up to its first NUL, read in text mode.
bool ReadTextFile(const QString& path, QString* text) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  const QByteArray bytes = file.readAll();
  *text = BufferText(bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}

}  // namespace

TabInfo::TabInfo(MainDialog* parent)
    : QDialog(parent), MainWindowPxy(parent, &parent->sdk()), ui(new Ui::TabInfo) {
  ui->setupUi(this);
  ApplyPageStyle(this);
  ui->EditSignData->setStyleSheet(ui->EditSignData->styleSheet() +
                                  QStringLiteral("font-size: 16px;\nfont-weight: 400;\n"
                                                 "color: #8A8A8A;\n"));
}

TabInfo::~TabInfo() { delete ui; }

void TabInfo::on_pushButton_40_clicked() {
  m_pMainDlg->Log(QStringLiteral("信息交互"));
  const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
  const QString path = ui->EditInfoPath->text();
  if (path.isEmpty()) {
    m_pMainDlg->Log(QStringLiteral(">>>请设置交互信息路径"));
    return;
  }
  QString text;
  if (!ReadTextFile(path, &text)) {
    m_pMainDlg->Log(QStringLiteral(">>>文件打开失败"));
    return;
  }
  QByteArray info = ToGbk(text);
  int result = 0;
  RunCall(
      [&](const LinkSettings& l) {
        return m_pSdk->pStartInfo(l.port, l.bp, l.baud, timeout, info.data(), &result);
      },
      [&] {
        // An answer the terminal gives beyond these three logs no line.
        if (result == 0) return QStringLiteral(">>>交互完成：确认");
        if (result == 1) return QStringLiteral(">>>交互完成：取消");
        if (result == 3) return QStringLiteral(">>>交互完成：超时");
        return QString();
      },
      QStringLiteral(">>>交互失败："));
}

void TabInfo::on_BtnSign_clicked() {
  m_pMainDlg->Log(QStringLiteral("电子签名"));
  const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
  const QString path = ui->EditSignPath->text();
  if (path.isEmpty()) {
    m_pMainDlg->Log(QStringLiteral(">>>请设置凭证路径"));
    return;
  }
  QByteArray document = path.toUtf8();
  const bool signedOk = RunCall(
      [&](const LinkSettings& l) {
        // The customer's signature goes into the user's private folder.
        QByteArray image = QFile::encodeName(PrivateOutputPath(QLatin1String(kSignImageName)));
        QByteArray data = QFile::encodeName(PrivateOutputPath(QLatin1String(kSignDataName)));
        return m_pSdk->pStartSign(l.port, l.bp, l.baud, timeout, document.data(), image.data(),
                                  data.data());
      },
      QStringLiteral(">>>签名完成"), QStringLiteral(">>>签名失败："));
  if (signedOk) ShowSignature();
}

void TabInfo::ShowSignature() {
  const QPixmap pixmap =
      QPixmap::fromImage(QImage(PrivateOutputPath(QLatin1String(kSignImageName))));
  const int w = ui->LabelSignPic->width();
  const int h = ui->LabelSignPic->height();
  if (pixmap.width() > w || pixmap.height() > h)
    ui->LabelSignPic->setPixmap(pixmap.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  else
    ui->LabelSignPic->setPixmap(pixmap);

  QString trajectory;
  if (ReadTextFile(PrivateOutputPath(QLatin1String(kSignDataName)), &trajectory))
    ui->EditSignData->setPlainText(trajectory);
  else
    m_pMainDlg->Log(QStringLiteral(">>>轨迹数据获取失败"));
}
