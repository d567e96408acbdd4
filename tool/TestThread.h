// The loop-test worker: runs the selected terminal tests again and again on
// its own thread, counts tries and passes in g_Records and reports every
// step to the window.
#ifndef TESTTHREAD_H
#define TESTTHREAD_H

#include <QThread>

#include <mutex>

#include "FailureLog.h"
#include "TLX_SDK.h"
#include "TestParams.h"

class MainWindow;

class TestThread : public QThread {
  Q_OBJECT

 public:
  TestThread();

  // Returns once run() has left (at once when it is not running), with all
  // that run() wrote visible to the caller. Call it after the thread has
  // finished, before reusing or deleting what run() used.
  void JoinRun();

  MainWindow* window = nullptr;  // receives the status texts
  TLX_SDK sdk;                   // the tool's only binding of libtlxdev
  FailureLog failures;           // calls that failed in the current run

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

  // Logs the call that failed the current test and gives Outcome::Failed.
  Outcome Failed(const char* function, int code);

  void Report(const QString& text);
  // Runs the loop with the parameters of this run.
  void Loop();
  // Sleeps the end-of-loop pause; a stop request cuts it short.
  void Pause(int seconds);

  std::mutex m_runLock;  // held for the whole of run()
  TestParams m_params;   // this run's copy of g_Params
  QString m_testName;    // name of the test being run
};

// The one worker of the tool, created by the window.
extern TestThread* g_pThread;

#endif
