#include "ConfigDialog.h"
#include "ui_ConfigDialog.h"

#include "LinkSettings.h"
#include "PortValidator.h"
#include "RWIni.h"

namespace {
const QString kFile = QStringLiteral("config.ini");
const QString kGroup = QStringLiteral("com");
}  // namespace

ConfigDialog::ConfigDialog(QWidget* parent) : CustomTopBarDialog(parent), ui(new Ui::ConfigDialog) {
  ui->setupUi(this);
  Init(ui->widget_topBar, ui->menuButton_Close, nullptr, nullptr, false, false, true);
  ui->EditCom->setValidator(new PortValidator(this));

  // A port the field would not accept counts as missing.
  int port = RWIni::load(kFile, kGroup, QStringLiteral("port"), 0);
  if (!PortValidator::inRange(port)) port = 0;
  ui->EditCom->setText(QString::number(port));

  ui->CbxBP->setCurrentIndex(
      ChannelIndex(RWIni::load(kFile, kGroup, QStringLiteral("bp"), QString())));

  const int baud = RWIni::load(kFile, kGroup, QStringLiteral("baud"), 9600);
  if (baud == 1200)
    ui->CbxBaud->setCurrentIndex(0);
  else if (baud == 9600)
    ui->CbxBaud->setCurrentIndex(1);
  else if (baud == 115200)
    ui->CbxBaud->setCurrentIndex(2);
}

ConfigDialog::~ConfigDialog() { delete ui; }

int ConfigDialog::getCom() const { return ui->EditCom->text().toInt(nullptr, 10); }

int ConfigDialog::getBP() const { return ChannelFromText(ui->CbxBP->currentText()); }

int ConfigDialog::getBaud() const { return ui->CbxBaud->currentText().toInt(nullptr, 10); }

void ConfigDialog::on_EditCom_textChanged(const QString& arg1) {
  const int n = arg1.toInt(nullptr, 10);
  ui->LabelCom->setText(PortLabel(n));
  ui->EditCom->setText(QString::number(n));
}

void ConfigDialog::on_BtnComSave_clicked() {
  const int port = getCom();
  const int bp = getBP();
  const int baud = getBaud();
  RWIni::save(kFile, kGroup, QStringLiteral("port"), port);
  if (bp != 0)
    RWIni::save(kFile, kGroup, QStringLiteral("bp"), QString(QChar(bp)));
  else
    RWIni::save(kFile, kGroup, QStringLiteral("bp"), 0);
  RWIni::save(kFile, kGroup, QStringLiteral("baud"), baud);
  close();
}
