// The loop-test worker: runs the selected terminal tests again and again on
// its own thread, counts tries and passes in g_Records and reports every
// step to the window.
#ifndef TESTTHREAD_H
#define TESTTHREAD_H

#include <QThread>

#include "TLX_SDK.h"

class MainWindow;

class TestThread : public QThread {
  Q_OBJECT

 public:
  TestThread();

  MainWindow* window = nullptr;  // receives the status texts
  TLX_SDK sdk;                   // the tool's only binding of libtlxdev

 protected:
  void run() override;

 private:
  // Outcome of one test: counted as passed or not, or the run must end.
  enum class Outcome { Passed, Failed, EndRun };

  struct Step;
  static const Step kSteps[];

  Outcome TestKeypad();
  Outcome TestInfo();
  Outcome TestEvaluator();
  Outcome TestNumpad();
  Outcome TestSign();
  Outcome TestDownload();

  void Report(const QString& text);
  // Sleeps the end-of-loop pause; a stop request cuts it short.
  void Pause(int seconds);
};

// The one worker of the tool, created by the window.
extern TestThread* g_pThread;

#endif
