// Pictures of the terminal window for the demo's guided tour: one while
// each prompt is on the screen. The tour names its current step in
// "tour-step.txt" in the same directory ("13-info"); the picture is then
// "13-info-terminal.png", else "terminal-NN-<prompt>.png".
#ifndef TLXSIM_TOURPICTURES_H
#define TLXSIM_TOURPICTURES_H

#include <QObject>
#include <QSet>
#include <QString>

#include "Engine.h"

class TourPictures : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDelayMs = 300;  // the screen has been drawn by then

  TourPictures(QWidget* window, const QString& dir, QObject* parent = nullptr);

  // A prompt went on the screen: its picture is taken kDelayMs later, or
  // when it ends if that comes first (a quick scripted customer).
  void promptShown(const tlxsim::Prompt& prompt);
  void promptEnded(quint64 id);

  static QString kindName(tlxsim::PromptKind kind);

 signals:
  void saved(const QString& file);

 private:
  QString nextName(tlxsim::PromptKind kind);
  void take(quint64 id);

  QWidget* m_window;
  QString m_dir;
  int m_count = 0;
  QSet<QString> m_used;
  quint64 m_pending = 0;  // the prompt whose picture is still to take
  tlxsim::PromptKind m_kind = tlxsim::PromptKind::Info;
};

#endif
