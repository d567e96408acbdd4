#include "InfoScreen.h"
#include "ui_InfoScreen.h"

#include "ScreenText.h"

InfoScreen::InfoScreen(QWidget* parent) : PromptScreen(parent), ui(new Ui::InfoScreen) {
  ui->setupUi(this);
  bindLabels();
}

InfoScreen::~InfoScreen() { delete ui; }

QString InfoScreen::text() const { return ui->TextInfo->toPlainText(); }

void InfoScreen::present(const tlxsim::Prompt& prompt) {
  ui->TextInfo->setPlainText(FromGbk(prompt.text));
  // The scripted customer's choice is marked on its button.
  ui->BtnConfirm->setProperty(
      "chosen", prompt.scripted && prompt.scriptedAnswers && prompt.scriptedValue == "B0F");
  ui->BtnCancel->setProperty(
      "chosen", prompt.scripted && prompt.scriptedAnswers && prompt.scriptedValue == "B1F");
  for (QWidget* b : {static_cast<QWidget*>(ui->BtnConfirm), static_cast<QWidget*>(ui->BtnCancel)})
    b->setStyleSheet(b->styleSheet());  // re-polish for the property
}

void InfoScreen::setInteractive(bool on) {
  ui->BtnConfirm->setEnabled(on);
  ui->BtnCancel->setEnabled(on);
}

void InfoScreen::on_BtnConfirm_clicked() { answer(QStringLiteral("B0F")); }

void InfoScreen::on_BtnCancel_clicked() { answer(QStringLiteral("B1F")); }
