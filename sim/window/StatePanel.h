// The state the host set on the terminal, beside its screen: display
// switches, volumes, the model, PIN pad settings, key slots in use (never
// keys), module timeouts, restarts, and the stored media files per type.
#ifndef TLXSIM_STATEPANEL_H
#define TLXSIM_STATEPANEL_H

#include <QWidget>

#include "TerminalSnapshot.h"

namespace Ui {
class StatePanel;
}

class StatePanel : public QWidget {
  Q_OBJECT

 public:
  explicit StatePanel(QWidget* parent = nullptr);
  ~StatePanel() override;

  void setState(const tlxsim::TerminalSnapshot& s);
  // A label's text, by object name (for tests and the tour).
  QString field(const char* label) const;
  // The stored files shown under a media type, "name (size)" each.
  QStringList files(int mediaType) const;

 private:
  Ui::StatePanel* ui;
};

#endif
