#include "TestRecords.h"

#include <initializer_list>

TestRecords g_Records;

void TestRecords::Clear() {
  for (std::atomic<int>* counter :
       {&keypadTried, &keypadPassed, &infoTried, &infoPassed, &evaTried, &evaPassed, &numpadTried,
        &numpadPassed, &signTried, &signPassed, &dwnTried, &dwnPassed, &loopsDone}) {
    counter->store(0);
  }
}
