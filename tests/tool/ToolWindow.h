// The tool window as the tests drive it: message boxes are recorded instead
// of shown, every status text the worker reports is recorded, and the form
// is reached by object name, as the user sees it.
#ifndef TOOLWINDOW_H
#define TOOLWINDOW_H

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

#include "MainWindow.h"

class ToolWindow : public MainWindow {
 public:
  ToolWindow() = default;

  // Warning texts in the order the window raised them.
  QStringList warnings;
  // Runs on the worker thread for every status text, before the window
  // stores it; lets a test act at a precise step of the loop.
  std::function<void(const QString&)> onText;

  QStringList texts() const;
  void clearTexts();

  void setInfoText(const QString& text) override;

  void setField(const char* name, const QString& text);
  void setChecked(const char* name, bool checked = true);
  void setComboIndex(const char* name, int index);
  void start();
  void stop();
  QPlainTextEdit* view() const;
  QString labelText(const char* name) const;
  QString fieldText(const char* name) const;

 protected:
  void showWarning(const QString& text) override;

 private:
  mutable std::mutex m_lock;
  QStringList m_texts;
};

// True while the worker thread runs.
bool WorkerBusy();
// Waits (processing events) until the worker has finished; false after
// timeoutMs. Pending status texts are shown before it returns.
bool WaitIdle(int timeoutMs);

#endif
