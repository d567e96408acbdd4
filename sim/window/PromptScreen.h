// What every prompt screen of the terminal has: the prompt it shows, the
// time left until the terminal's own timeout, a status line, and whether
// the person at the window may answer (the scripted customer answers in the
// other case, and the screen only shows what it does).
#ifndef TLXSIM_PROMPTSCREEN_H
#define TLXSIM_PROMPTSCREEN_H

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "Engine.h"

class QLabel;

class PromptScreen : public QWidget {
  Q_OBJECT

 public:
  explicit PromptScreen(QWidget* parent = nullptr);

  // Shows the prompt; the person may answer unless it is scripted.
  void start(const tlxsim::Prompt& prompt);
  // The prompt ended (tlxsim::PromptEnd): controls off, the reason shown.
  void finish(int end);
  // The answer could not be given (the prompt had ended meanwhile).
  void refused();

  quint64 promptId() const { return m_prompt.id; }
  const tlxsim::Prompt& prompt() const { return m_prompt; }
  bool interactive() const { return m_interactive; }
  // Seconds left as shown (rounded up).
  int secondsLeft() const;

  static QString endText(int end);

 signals:
  // The person's answer, as the engine takes it (AnswerPrompt).
  void answered(quint64 id, const QString& value);

 protected:
  // Called by start(): fill the screen from the prompt.
  virtual void present(const tlxsim::Prompt& prompt) = 0;
  // Enables or disables what the person can press.
  virtual void setInteractive(bool on) = 0;
  void answer(const QString& value);
  // Looks up LabelRemaining and LabelStatus of the derived form.
  void bindLabels();
  void setStatus(const QString& text);

 private:
  void tick();

  tlxsim::Prompt m_prompt;
  bool m_interactive = false;
  QElapsedTimer m_since;
  QTimer m_clock;
  QLabel* m_remaining = nullptr;
  QLabel* m_status = nullptr;
};

#endif
