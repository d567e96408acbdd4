// The customer side of the virtual terminal: its screen (information,
// evaluator, keypad and PIN pad, signature), the state the host set, and
// the wire. With a live customer the person at the window answers the
// prompts; otherwise the window shows what the scripted customer does.
#ifndef TLXSIM_TERMINALWINDOW_H
#define TLXSIM_TERMINALWINDOW_H

#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "Engine.h"

namespace Ui {
class TerminalWindow;
}

class QTabWidget;
class EngineBridge;
class EvaluatorScreen;
class IdleScreen;
class InfoScreen;
class KeypadScreen;
class PromptScreen;
class SignatureScreen;
class StatePanel;
class TourPictures;

class TerminalWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kEndShownMs = 900;      // an ended prompt stays this long
  static constexpr int kRestartDarkMs = 1500;  // a restart darkens the screen

  // `live`: the person at the window answers (set on the engine while the
  // window exists). `alsoLog` gets every engine log line on the engine's
  // thread (may be null).
  TerminalWindow(tlxsim::Engine& engine, bool live,
                 std::function<void(const std::string&)> alsoLog = nullptr,
                 QWidget* parent = nullptr);
  ~TerminalWindow() override;

  bool live() const { return m_live; }
  // The prompt on the screen (0: none).
  quint64 currentPrompt() const;
  PromptScreen* currentScreen() const { return m_current; }
  InfoScreen* infoScreen() const { return m_info; }
  EvaluatorScreen* evaluatorScreen() const { return m_evaluator; }
  KeypadScreen* keypadScreen() const { return m_keypad; }
  SignatureScreen* signatureScreen() const { return m_signature; }
  StatePanel* statePanel() const;
  bool dark() const;
  QStringList wireLines() const;

  // Compact form for a narrow place (beside the demo on a small screen):
  // the screen alone on top, the state and the wire as tabs below it.
  void setCompact(bool compact);
  bool compact() const { return m_compactTabs != nullptr; }

  // Pictures of the window at every prompt, for the demo's tour.
  void takePictures(const QString& dir);
  TourPictures* pictures() const { return m_pictures; }

 public slots:
  void refreshState();

 private slots:
  void promptStarted(const tlxsim::Prompt& prompt);
  void promptEnded(quint64 id, int end);
  void logLine(const QString& line);
  void answer(quint64 id, const QString& value);
  void sign(quint64 id, const std::vector<tlxsim::Stroke>& strokes);

 private:
  PromptScreen* screenFor(tlxsim::PromptKind kind) const;
  void showIdle();

  Ui::TerminalWindow* ui;
  tlxsim::Engine& m_engine;
  bool m_live;
  EngineBridge* m_bridge;
  IdleScreen* m_idle;
  InfoScreen* m_info;
  EvaluatorScreen* m_evaluator;
  KeypadScreen* m_keypad;
  SignatureScreen* m_signature;
  QWidget* m_dark;
  PromptScreen* m_current = nullptr;
  TourPictures* m_pictures = nullptr;
  QTabWidget* m_compactTabs = nullptr;
  bool m_followWire = true;  // the wire pane shows its newest line
  QTimer m_refresh;
  QTimer m_darkTimer;
  int m_restarts = -1;
};

#endif
