#include "StatePanel.h"
#include "ui_StatePanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidgetItem>

namespace {

QString TypeName(int type) {
  switch (type) {
    case 0:
      return QObject::tr("0 广告图片");
    case 1:
      return QObject::tr("1 视频");
    case 2:
      return QObject::tr("2 柜员照片");
    case 4:
      return QObject::tr("4 升级包");
    case 255:
      return QObject::tr("255 指定文件");
    default:
      return QString::number(type);
  }
}

QString ModuleName(int module) {
  switch (module) {
    case 1:
      return QObject::tr("密码键盘");
    case 2:
      return QObject::tr("信息屏");
    case 4:
      return QObject::tr("评价器");
    case 5:
      return QObject::tr("数字键盘");
    default:
      return QObject::tr("模块%1").arg(module);
  }
}

}  // namespace

StatePanel::StatePanel(QWidget* parent) : QWidget(parent), ui(new Ui::StatePanel) {
  ui->setupUi(this);
  ui->TreeMedia->header()->setStretchLastSection(false);
  ui->TreeMedia->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  ui->TreeMedia->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
}

StatePanel::~StatePanel() { delete ui; }

void StatePanel::setState(const tlxsim::TerminalSnapshot& s) {
  ui->LabelModel->setText(QString::fromStdString(s.model));
  QStringList display;
  for (int module : {1, 2, 4, 5}) {
    auto it = s.display.find(module);
    const QString state = it == s.display.end() ? tr("未设置")
                          : it->second          ? tr("显示")
                                                : tr("隐藏");
    display << ModuleName(module) + QStringLiteral("：") + state;
  }
  ui->LabelDisplay->setText(display.join(QStringLiteral("，")));
  ui->LabelVolume->setText(tr("系统 %1/5，按键音 %2/15，媒体 %3/15")
                               .arg(s.volumeSystem)
                               .arg(s.volumeKeyTone)
                               .arg(s.volumeMedia));
  ui->LabelPin->setText(
      tr("长度 %1，模式 %2，超时 %3 秒").arg(s.pinLength).arg(s.pinMode).arg(s.pinTimeout));
  ui->LabelKeys->setText(
      s.activeMaster >= 0
          ? tr("主密钥 %1 个，工作密钥 %2 个，启用 %3,%4")
                .arg(s.masterKeys)
                .arg(s.workKeys)
                .arg(s.activeMaster)
                .arg(s.activeWork)
          : tr("主密钥 %1 个，工作密钥 %2 个，未启用").arg(s.masterKeys).arg(s.workKeys));
  QStringList timeouts;
  for (const auto& t : s.moduleTimeout)
    timeouts << tr("%1 %2 秒").arg(ModuleName(t.first)).arg(t.second);
  ui->LabelTimeout->setText(timeouts.join(QStringLiteral("，")));
  ui->LabelRestarts->setText(QString::number(s.restarts));

  ui->TreeMedia->clear();
  for (const auto& type : s.media) {
    auto* group = new QTreeWidgetItem(ui->TreeMedia,
                                      {TypeName(type.first), QString::number(type.second.size())});
    group->setData(0, Qt::UserRole, type.first);
    for (const tlxsim::StoredFile& f : type.second)
      new QTreeWidgetItem(
          group, {QString::fromStdString(f.name),
                  QLocale::c().toString(static_cast<qulonglong>(f.size)) + QStringLiteral(" B")});
    group->setExpanded(!type.second.empty());
  }
}

QString StatePanel::field(const char* label) const {
  const QLabel* l = findChild<QLabel*>(QLatin1String(label));
  return l ? l->text() : QString();
}

QStringList StatePanel::files(int mediaType) const {
  QStringList names;
  for (int i = 0; i < ui->TreeMedia->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* group = ui->TreeMedia->topLevelItem(i);
    if (group->data(0, Qt::UserRole).toInt() != mediaType) continue;
    for (int k = 0; k < group->childCount(); ++k)
      names << group->child(k)->text(0) + QStringLiteral(" (") + group->child(k)->text(1) +
                   QLatin1Char(')');
  }
  return names;
}
