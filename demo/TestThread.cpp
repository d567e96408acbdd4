#include "TestThread.h"

#include "BufferText.h"
#include "TLX_SDK.h"
#include "TabEvaNum.h"

#include <cstring>

TestThread::TestThread(TabEvaNum* owner)
    : QThread(owner), page(owner), stars(0), task(Evaluate), timeout(30) {
  std::memset(tellerName, 0, sizeof(tellerName));
  std::memset(tellerNo, 0, sizeof(tellerNo));
  std::memset(photo, 0, sizeof(photo));
}

void TestThread::run() {
  QString line;
  switch (task) {
    case Evaluate:
      line = RunEvaluator();
      break;
    case PhoneNumber:
      line = RunKeyboard(1);
      break;
    case Amount:
      line = RunKeyboard(0);
      break;
    default:
      return;
  }
  page->PostResult(line);
}

QString TestThread::RunEvaluator() {
  int result = 0;
  const int ret = page->sdk()->pStartEvaluator(link.port, link.bp, link.baud, tellerName, tellerNo,
                                               stars, photo, timeout, &result);
  return TabEvaNum::ResultLine(ret, RatingLine(result), QStringLiteral(">>>评价失败："));
}

QString TestThread::RatingLine(int result) {
  switch (result) {
    case 1:
      return QStringLiteral(">>>评价完成：满意");
    case 2:
      return QStringLiteral(">>>评价完成：一般");
    case 3:
      return QStringLiteral(">>>评价完成：不满意");
    case 4:
      return QStringLiteral(">>>评价超时");
    default:
      return QStringLiteral(">>>评价失败");
  }
}

QString TestThread::RunKeyboard(int mode) {
  char input[kKeyboardInputSize] = {};
  const int ret = page->sdk()->pStartKeyboard(link.port, link.bp, link.baud, timeout, mode, input);
  return TabEvaNum::ResultLine(ret, QStringLiteral(">>>输入完成：") + BufferText(input),
                               QStringLiteral(">>>输入失败："));
}
