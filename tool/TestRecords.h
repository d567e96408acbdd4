// Counters of the running loop test. The worker thread counts while the GUI
// thread reads them for the display, so every counter is atomic.
#ifndef TESTRECORDS_H
#define TESTRECORDS_H

#include <atomic>

struct TestRecords {
  std::atomic<int> keypadTried{0};
  std::atomic<int> keypadPassed{0};
  std::atomic<int> infoTried{0};
  std::atomic<int> infoPassed{0};
  std::atomic<int> evaTried{0};
  std::atomic<int> evaPassed{0};
  std::atomic<int> numpadTried{0};
  std::atomic<int> numpadPassed{0};
  std::atomic<int> signTried{0};
  std::atomic<int> signPassed{0};
  std::atomic<int> dwnTried{0};
  std::atomic<int> dwnPassed{0};
  std::atomic<int> loopsDone{0};

  // Sets every counter to 0.
  void Clear();
};

extern TestRecords g_Records;

#endif
