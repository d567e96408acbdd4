// Carries what the engine reports from the link threads to the GUI thread:
// prompts that start and end, and the engine's log lines (the wire pane).
// The engine stays free of Qt; this object is the only place where its
// callbacks meet Qt's event loop. The link threads make no Qt call: they
// queue under a std::mutex and wake the GUI thread through an eventfd that
// a QSocketNotifier watches.
#ifndef TLXSIM_ENGINEBRIDGE_H
#define TLXSIM_ENGINEBRIDGE_H

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "Engine.h"

class QSocketNotifier;

class EngineBridge : public QObject {
  Q_OBJECT

 public:
  // Installs the engine's prompt listener and logger; `alsoLog` (may be
  // null) gets every log line too, on the engine's thread (the program
  // prints them).
  EngineBridge(tlxsim::Engine& engine, std::function<void(const std::string&)> alsoLog,
               QObject* parent = nullptr);
  // Removes the callbacks; a call already under way on a link thread
  // only queues into the shared state, which outlives this object.
  ~EngineBridge() override;

  tlxsim::Engine& engine() { return m_engine; }

 signals:
  void promptStarted(const tlxsim::Prompt& prompt);
  void promptEnded(quint64 id, int end);  // end: a tlxsim::PromptEnd
  void logLine(const QString& line);

 private:
  void deliver();  // on the GUI thread: hands out what was queued

  struct Queue;
  tlxsim::Engine& m_engine;
  std::shared_ptr<Queue> m_queue;
  QSocketNotifier* m_notifier;
};

#endif
