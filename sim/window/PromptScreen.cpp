#include "PromptScreen.h"

#include <QLabel>

PromptScreen::PromptScreen(QWidget* parent) : QWidget(parent) {
  m_clock.setInterval(200);
  connect(&m_clock, &QTimer::timeout, this, &PromptScreen::tick);
}

void PromptScreen::bindLabels() {
  m_remaining = findChild<QLabel*>(QStringLiteral("LabelRemaining"));
  m_status = findChild<QLabel*>(QStringLiteral("LabelStatus"));
}

void PromptScreen::setStatus(const QString& text) {
  if (m_status) m_status->setText(text);
}

void PromptScreen::start(const tlxsim::Prompt& prompt) {
  m_prompt = prompt;
  m_interactive = !prompt.scripted;
  m_since.start();
  present(prompt);
  setInteractive(m_interactive);
  setStatus(prompt.scripted ? tr("模拟客户作答中") : QString());
  tick();
  m_clock.start();
}

void PromptScreen::finish(int end) {
  m_clock.stop();
  m_interactive = false;
  setInteractive(false);
  setStatus(endText(end));
  if (m_remaining) m_remaining->clear();
}

void PromptScreen::refused() { setStatus(tr("未能提交：提示已结束")); }

void PromptScreen::answer(const QString& value) {
  if (!m_interactive) return;
  emit answered(m_prompt.id, value);
}

int PromptScreen::secondsLeft() const {
  if (!m_since.isValid()) return 0;
  const qint64 left = m_prompt.timeoutMs - m_since.elapsed();
  return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

void PromptScreen::tick() {
  if (m_remaining) m_remaining->setText(tr("剩余 %1 秒").arg(secondsLeft()));
}

QString PromptScreen::endText(int end) {
  switch (static_cast<tlxsim::PromptEnd>(end)) {
    case tlxsim::PromptEnd::Answered:
      return tr("已提交");
    case tlxsim::PromptEnd::TimedOut:
      return tr("已超时");
    case tlxsim::PromptEnd::Cancelled:
      return tr("主机已取消");
    default:
      return tr("线路已断开");
  }
}
