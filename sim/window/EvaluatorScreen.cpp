#include "EvaluatorScreen.h"
#include "ui_EvaluatorScreen.h"

#include "ScreenText.h"

#include <QImage>
#include <QPixmap>

EvaluatorScreen::EvaluatorScreen(QWidget* parent)
    : PromptScreen(parent), ui(new Ui::EvaluatorScreen) {
  ui->setupUi(this);
  bindLabels();
}

EvaluatorScreen::~EvaluatorScreen() { delete ui; }

bool EvaluatorScreen::showsPhoto() const {
  return !ui->LabelPhoto->pixmap(Qt::ReturnByValue).isNull();
}

void EvaluatorScreen::present(const tlxsim::Prompt& prompt) {
  ui->LabelName->setText(tr("柜员：%1").arg(FromGbk(prompt.tellerName)));
  ui->LabelNumber->setText(tr("工号：%1").arg(FromGbk(prompt.tellerNo)));
  const int stars = qBound(0, prompt.stars, 6);
  ui->LabelStars->setText(QString(stars, QChar(0x2605)) +
                          QString(qMax(5, stars) - stars, QChar(0x2606)));
  QImage photo;
  if (!prompt.photoFile.empty()) photo.load(QString::fromStdString(prompt.photoFile));
  if (photo.isNull()) {
    ui->LabelPhoto->setPixmap(QPixmap());
    ui->LabelPhoto->setText(tr("无照片"));
  } else {
    ui->LabelPhoto->setPixmap(QPixmap::fromImage(
        photo.scaled(ui->LabelPhoto->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
  const bool marked = prompt.scripted && prompt.scriptedAnswers;
  const std::string v = prompt.scriptedValue;
  ui->BtnSatisfied->setProperty("chosen", marked && v == "B1F");
  ui->BtnAverage->setProperty("chosen", marked && v == "B2F");
  ui->BtnDissatisfied->setProperty("chosen", marked && v == "B3F");
  setStyleSheet(styleSheet());  // re-polish for the property
}

void EvaluatorScreen::setInteractive(bool on) {
  ui->BtnSatisfied->setEnabled(on);
  ui->BtnAverage->setEnabled(on);
  ui->BtnDissatisfied->setEnabled(on);
}

void EvaluatorScreen::on_BtnSatisfied_clicked() { answer(QStringLiteral("B1F")); }

void EvaluatorScreen::on_BtnAverage_clicked() { answer(QStringLiteral("B2F")); }

void EvaluatorScreen::on_BtnDissatisfied_clicked() { answer(QStringLiteral("B3F")); }
