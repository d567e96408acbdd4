// Shared set-up of the page tests: a virtual terminal in this process, the
// main window bound to ./libtlxdev.so from the working directory, and small
// helpers to press buttons and read the output pane.
#ifndef PAGEFIXTURE_H
#define PAGEFIXTURE_H

#include "MainDialog.h"
#include "VirtualTerminal.h"

#include <QStringList>

#include <memory>

class QWidget;

class PageFixture {
 public:
  // Starts the terminal with quick customer answers; false on failure.
  bool Start();
  void Stop();
  // Before each test: empty pane, no faults, no history, quick customer.
  void Reset();

  MainDialog& window() { return *m_window; }
  tlxsim::VirtualTerminal& terminal() { return *m_terminal; }
  tlxsim::Customer QuickCustomer() const;

  QStringList Lines() const;
  void Click(const char* button);
  // Line edits are looked up on the page shown at `row` when given, since
  // several pages have an "EditTimeout".
  void SetText(const char* edit, const QString& text, int row = -1);
  QWidget* Page(int row) const;
  void SetIndex(const char* combo, int index);
  template <typename T>
  T* Child(const char* name) const {
    return m_window->findChild<T*>(QLatin1String(name));
  }
  // Number of commands the terminal received since Reset().
  size_t Commands() const;
  // True when a received command contains `bytes`.
  bool Received(const std::string& bytes) const;

 private:
  std::unique_ptr<tlxsim::VirtualTerminal> m_terminal;
  std::unique_ptr<MainDialog> m_window;
};

#endif
