// The evaluator and number pad worker: makes one blocking library call per
// request so that the window stays usable and the call can be cancelled.
#ifndef TESTTHREAD_H
#define TESTTHREAD_H

#include "LinkSettings.h"
#include "OutputSizes.h"

#include <QThread>

class TabEvaNum;

class TestThread : public QThread {
  Q_OBJECT

 public:
  enum Task { Evaluate = 0, PhoneNumber = 1, Amount = 2 };

  explicit TestThread(TabEvaNum* page);

  // Written by the GUI thread only while the worker is idle.
  TabEvaNum* page;
  char tellerName[kTellerFieldSize];
  char tellerNo[kTellerFieldSize];
  char photo[kTellerFieldSize];
  int stars;
  int task;
  int timeout;
  // Link parameters taken on the GUI thread when the request starts; the
  // worker never reads the settings widgets itself.
  LinkSettings link;

 protected:
  void run() override;

 private:
  QString RunEvaluator();
  // The line for the customer's rating after a call that returned 0.
  static QString RatingLine(int result);
  QString RunKeyboard(int mode);
};

#endif
