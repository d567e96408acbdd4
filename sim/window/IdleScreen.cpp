#include "IdleScreen.h"
#include "ui_IdleScreen.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

IdleScreen::IdleScreen(QWidget* parent) : QWidget(parent), ui(new Ui::IdleScreen) {
  ui->setupUi(this);
}

IdleScreen::~IdleScreen() { delete ui; }

void IdleScreen::setModel(const QString& model) {
  ui->LabelModel->setText(tr("TLX %1 柜台终端（虚拟）").arg(model));
}

void IdleScreen::setAdvert(const QString& file) {
  const QString stamp = file.isEmpty()
                            ? QString()
                            : file + QFileInfo(file).lastModified().toString(Qt::ISODateWithMs);
  if (stamp == m_advert) return;
  m_advert = stamp;
  QImageReader reader(file);
  // A picture far too large for the screen is shown reduced while read.
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > 1600 || size.height() > 1600))
    reader.setScaledSize(size.scaled(1600, 1600, Qt::KeepAspectRatio));
  const QImage image = file.isEmpty() ? QImage() : reader.read();
  if (image.isNull()) {
    ui->LabelAdvert->clear();
    return;
  }
  ui->LabelAdvert->setPixmap(
      QPixmap::fromImage(image.scaled(560, 260, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}
