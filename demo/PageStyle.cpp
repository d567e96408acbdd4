#include "PageStyle.h"

#include <QFile>
#include <QWidget>

void ApplyPageStyle(QWidget* page) {
  static const QString sheet = [] {
    QFile file(QStringLiteral(":/new/prefix1/res/page.qss"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }();
  page->setStyleSheet(sheet);
}
