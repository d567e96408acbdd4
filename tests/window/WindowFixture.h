// Shared set-up of the terminal window tests: the virtual terminal in this
// process, its window shown on the offscreen platform, and host calls of
// libtlxdev made on a thread of their own (they block until the terminal
// answers, while the window has to keep running).
#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "TerminalWindow.h"
#include "VirtualTerminal.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// One library call on its own thread.
class HostCall {
 public:
  explicit HostCall(std::function<int()> call);
  ~HostCall();
  // Processes events until the call returned (false after timeoutMs).
  bool wait(int timeoutMs = 20000);
  int result() const { return m_result; }

 private:
  std::atomic<bool> m_done{false};
  std::atomic<int> m_result{1};
  std::thread m_thread;
};

class WindowFixture {
 public:
  bool start(bool live);
  void stop();
  tlxsim::VirtualTerminal& terminal() { return *m_terminal; }
  TerminalWindow& window() { return *m_window; }
  // Waits until the window shows a prompt (its id, 0 when none came).
  quint64 waitForPrompt(int timeoutMs = 10000);
  // Waits until the window shows no prompt.
  bool waitForIdle(int timeoutMs = 10000);
  void click(QWidget* screen, const char* button);

 private:
  std::unique_ptr<tlxsim::VirtualTerminal> m_terminal;
  std::unique_ptr<TerminalWindow> m_window;
};

// Text in GBK bytes, as the host sends it to the terminal.
std::string Gbk(const QString& text);

// A picture of one colour written to `path` in `format` ("JPG", "PNG").
bool WritePicture(const QString& path, int width, int height, const char* format);

// A signature flow (TLX_StartSign over USB) of `document`, pulling the
// image and data into "hw.png" and "hw.xml" beside it.
struct SignFiles {
  explicit SignFiles(const QString& document);
  QString imageFile() const { return QString::fromLocal8Bit(image); }
  QString dataFile() const { return QString::fromLocal8Bit(data); }
  std::function<int()> call(int timeout = 30);

  QByteArray document, image, data;
};

#endif
