#include "SignatureScreen.h"
#include "ui_SignatureScreen.h"

SignatureScreen::SignatureScreen(QWidget* parent)
    : PromptScreen(parent), ui(new Ui::SignatureScreen) {
  ui->setupUi(this);
  bindLabels();
  connect(ui->PadSignature, &SignaturePad::changed, this, &SignatureScreen::padChanged);
}

SignatureScreen::~SignatureScreen() { delete ui; }

DocumentView* SignatureScreen::document() const { return ui->ViewDocument; }

SignaturePad* SignatureScreen::pad() const { return ui->PadSignature; }

void SignatureScreen::present(const tlxsim::Prompt& prompt) {
  ui->ViewDocument->load(prompt.signKind, QString::fromStdString(prompt.documentFile));
  ui->PadSignature->clear();
  // The scripted customer's signature is drawn as it will be stored.
  if (prompt.scripted && prompt.scriptedAnswers)
    ui->PadSignature->setStrokes(prompt.scriptedStrokes);
}

void SignatureScreen::setInteractive(bool on) {
  ui->PadSignature->setReadOnly(!on);
  ui->BtnClear->setEnabled(on);
  ui->BtnConfirm->setEnabled(on && !ui->PadSignature->isEmpty());
}

void SignatureScreen::padChanged() {
  ui->BtnConfirm->setEnabled(interactive() && !ui->PadSignature->isEmpty());
}

void SignatureScreen::on_BtnClear_clicked() { ui->PadSignature->clear(); }

void SignatureScreen::on_BtnConfirm_clicked() {
  if (!interactive() || ui->PadSignature->isEmpty()) return;
  emit signedOff(promptId(), ui->PadSignature->strokes());
}

void SignatureScreen::setCompact(bool compact) {
  ui->layoutPad->setDirection(compact ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
  ui->layoutButtons->setDirection(compact ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}
