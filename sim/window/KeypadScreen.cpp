#include "KeypadScreen.h"
#include "ui_KeypadScreen.h"

#include <QKeyEvent>
#include <QPushButton>

KeypadScreen::KeypadScreen(QWidget* parent) : PromptScreen(parent), ui(new Ui::KeypadScreen) {
  ui->setupUi(this);
  bindLabels();
  const struct {
    QPushButton* button;
    char key;
  } keys[] = {{ui->Btn0, '0'},     {ui->Btn1, '1'},        {ui->Btn2, '2'},     {ui->Btn3, '3'},
              {ui->Btn4, '4'},     {ui->Btn5, '5'},        {ui->Btn6, '6'},     {ui->Btn7, '7'},
              {ui->Btn8, '8'},     {ui->Btn9, '9'},        {ui->BtnDot, '.'},   {ui->BtnBack, '\b'},
              {ui->BtnClear, 'c'}, {ui->BtnConfirm, '\r'}, {ui->BtnCancel, 'x'}};
  for (const auto& k : keys) {
    const char key = k.key;
    connect(k.button, &QPushButton::clicked, this, [this, key] { press(key); });
  }
}

KeypadScreen::~KeypadScreen() {
  m_value.fill(QLatin1Char('0'));
  delete ui;
}

QString KeypadScreen::display() const { return ui->EditValue->text(); }

void KeypadScreen::present(const tlxsim::Prompt& prompt) {
  m_pin = prompt.kind == tlxsim::PromptKind::Pin || prompt.kind == tlxsim::PromptKind::PinBlock;
  m_amount = prompt.kind == tlxsim::PromptKind::Amount;
  m_maxLength = m_pin ? qBound(1, prompt.pinLength, 14) : kMaxValue;
  m_value.fill(QLatin1Char('0'));
  m_value.clear();
  if (m_pin) {
    ui->LabelTitle->setText(prompt.kind == tlxsim::PromptKind::Pin ? tr("密码键盘")
                                                                   : tr("密码键盘（密文）"));
    ui->LabelVoice->setText(
        tr("语音提示：%1").arg(prompt.voicePrompt == 1 ? tr("请再次输入密码") : tr("请输入密码")));
  } else {
    ui->LabelTitle->setText(m_amount ? tr("请输入金额") : tr("请输入手机号码"));
    ui->LabelVoice->clear();
  }
  ui->LabelVoice->setVisible(m_pin);
  ui->BtnDot->setVisible(m_amount);
  ui->BtnCancel->setVisible(m_pin);
  // What the scripted customer types: the value, or as many dots as its
  // PIN has digits.
  if (prompt.scripted && prompt.scriptedAnswers) {
    if (m_pin)
      ui->EditValue->setText(QString(prompt.scriptedDigits, QChar(0x25CF)));
    else
      ui->EditValue->setText(QString::fromStdString(prompt.scriptedValue));
  } else {
    refresh();
  }
  if (!prompt.scripted) setFocus();
}

void KeypadScreen::setInteractive(bool on) {
  for (QPushButton* b : findChildren<QPushButton*>()) b->setEnabled(on);
  if (on) refresh();
}

bool KeypadScreen::accepts(char key) const {
  if (m_value.size() >= m_maxLength) return false;
  if (key == '.') return m_amount && !m_value.isEmpty() && !m_value.contains(QLatin1Char('.'));
  const int dot = m_value.indexOf(QLatin1Char('.'));
  return !(m_amount && dot >= 0 && m_value.size() - dot - 1 >= 2);
}

void KeypadScreen::press(char key) {
  if (!interactive()) return;
  if ((key >= '0' && key <= '9') || key == '.') {
    if (accepts(key)) m_value.append(QLatin1Char(key));
  } else if (key == '\b') {
    m_value.chop(1);
  } else if (key == 'c') {
    m_value.fill(QLatin1Char('0'));
    m_value.clear();
  } else if (key == '\r') {
    if (m_pin && m_value.size() < qMin(kMinPin, m_maxLength)) return;
    if (m_amount && m_value.endsWith(QLatin1Char('.'))) return;
    answer(m_value);
  } else if (key == 'x' && m_pin) {
    // The customer gives up: the PIN pad answers nothing.
    answer(QString());
  }
  refresh();
}

void KeypadScreen::refresh() {
  ui->EditValue->setText(m_pin ? QString(m_value.size(), QChar(0x25CF)) : m_value);
  if (interactive()) {
    ui->BtnConfirm->setEnabled(m_pin ? m_value.size() >= qMin(kMinPin, m_maxLength)
                                     : !m_value.endsWith(QLatin1Char('.')));
    ui->BtnDot->setEnabled(accepts('.'));
  }
}

void KeypadScreen::keyPressEvent(QKeyEvent* event) {
  const QString t = event->text();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      press('\r');
      return;
    case Qt::Key_Backspace:
      press('\b');
      return;
    case Qt::Key_Delete:
      press('c');
      return;
    case Qt::Key_Escape:
      press('x');
      return;
    default:
      break;
  }
  if (t.size() == 1 && (t[0].isDigit() || t[0] == QLatin1Char('.')) && t[0].unicode() < 128) {
    press(static_cast<char>(t[0].unicode()));
    return;
  }
  PromptScreen::keyPressEvent(event);
}
