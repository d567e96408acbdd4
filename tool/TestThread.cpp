#include "TestThread.h"

#include <QFile>

#include <atomic>
#include <cstring>

#include "GbkText.h"
#include "MainWindow.h"
#include "PrivateFiles.h"
#include "TestParams.h"
#include "TestRecords.h"

TestThread* g_pThread = nullptr;

namespace {

// Return code of a call that got no complete answer within its timeout.
constexpr int kNoAnswer = -2;
// Return code of a call that a cancel ended.
constexpr int kCancelled = -9;

}  // namespace

// One selectable test: its switch in g_Params, its name in the status
// texts, its counters and the member that runs it.
struct TestThread::Step {
  int TestParams::*selected;
  const char* name;
  std::atomic<int> TestRecords::*tried;
  std::atomic<int> TestRecords::*passed;
  Outcome (TestThread::*test)();
};

// The fixed order in which a loop runs the tests.
const TestThread::Step TestThread::kSteps[] = {
    {&TestParams::testKeypad, "密码键盘", &TestRecords::keypadTried, &TestRecords::keypadPassed,
     &TestThread::TestKeypad},
    {&TestParams::testInfo, "信息交互", &TestRecords::infoTried, &TestRecords::infoPassed,
     &TestThread::TestInfo},
    {&TestParams::testEva, "评价器", &TestRecords::evaTried, &TestRecords::evaPassed,
     &TestThread::TestEvaluator},
    {&TestParams::testNumpad, "数字键盘", &TestRecords::numpadTried, &TestRecords::numpadPassed,
     &TestThread::TestNumpad},
    {&TestParams::testSign, "电子签名", &TestRecords::signTried, &TestRecords::signPassed,
     &TestThread::TestSign},
    {&TestParams::testDwn, "文件下载", &TestRecords::dwnTried, &TestRecords::dwnPassed,
     &TestThread::TestDownload},
};

TestThread::TestThread() : sdk(true) {}

void TestThread::JoinRun() { std::lock_guard<std::mutex> lock(m_runLock); }

void TestThread::run() {
  std::lock_guard<std::mutex> lock(m_runLock);
  g_Records.loopsDone = 0;
  // A library that failed to load has no entry point to call.
  if (!sdk.IsBound()) return;
  m_params = LoadParams();
  failures.begin();
  Loop();
  failures.end();
}

void TestThread::Loop() {
  for (;;) {
    if (isInterruptionRequested()) return;
    if (m_params.loopCount > 0 && g_Records.loopsDone >= m_params.loopCount) return;

    for (const Step& step : kSteps) {
      if (!(m_params.*step.selected)) continue;
      const QString name = QString::fromUtf8(step.name);
      m_testName = name;
      Report(QStringLiteral("当前测试：") + name);
      ++(g_Records.*step.tried);
      const Outcome outcome = (this->*step.test)();
      if (outcome == Outcome::EndRun) return;
      if (outcome == Outcome::Passed) ++(g_Records.*step.passed);
      Report(QStringLiteral("测试完成：") + name);
      if (isInterruptionRequested()) return;
    }

    Pause(m_params.interval);
    if (m_params.loopCount > 0) ++g_Records.loopsDone;
  }
}

TestThread::Outcome TestThread::TestKeypad() {
  const TestParams& p = m_params;
  sdk.pSetShowDISP(p.port, p.bp, p.baud, 1, 1);  // its result does not decide the test
  const int length = sdk.pSetPinLen(p.port, p.bp, p.baud, 6);
  if (length != 0) return Failed("TLX_SetPinLen", length);
  // The PIN typed is wiped as soon as the call is over.
  SecretBuffer<64> pin;
  const int rc = sdk.pReadPin(p.port, p.bp, p.baud, 0, 0, p.timeout, pin.data(), pin.size());
  return rc == 0 || rc == kNoAnswer ? Outcome::Passed : Failed("TLX_ReadPin", rc);
}

TestThread::Outcome TestThread::TestInfo() {
  // Read anew in every loop, so the text can be changed during a run.
  QFile file(QStringLiteral("info.txt"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return Outcome::EndRun;
  QByteArray utf8 = file.readAll();
  file.close();
  const int nul = utf8.indexOf('\0');
  if (nul >= 0) utf8.truncate(nul);
  QByteArray info = ToGbk(QString::fromUtf8(utf8));

  const TestParams& p = m_params;
  int result = 0;
  const int rc = sdk.pStartInfo(p.port, p.bp, p.baud, p.timeout, info.data(), &result);
  return rc == 0 ? Outcome::Passed : Failed("TLX_StartInfo", rc);
}

TestThread::Outcome TestThread::TestEvaluator() {
  QByteArray tellerName = ToGbk(QStringLiteral("王五"));
  char tellerNo[] = "100001";
  char photo[] = "photo.jpg";
  const TestParams& p = m_params;
  int result = 0;
  const int rc = sdk.pStartEvaluator(p.port, p.bp, p.baud, tellerName.data(), tellerNo, 5, photo,
                                     p.timeout, &result);
  return rc == 0 ? Outcome::Passed : Failed("TLX_StartEvaluator", rc);
}

TestThread::Outcome TestThread::TestNumpad() {
  // The keypad command has no size argument and writes the whole answer the
  // terminal sends (up to its 4096-byte reply area), so the area is that big.
  char input[4096] = {};
  const TestParams& p = m_params;
  const int rc = sdk.pStartKeyboard(p.port, p.bp, p.baud, p.timeout, 1, input);
  return rc == 0 || rc == kNoAnswer ? Outcome::Passed : Failed("TLX_StartKeyboard", rc);
}

TestThread::Outcome TestThread::TestSign() {
  char document[] = "hwBack.pdf";
  // The customer's signature goes into the user's private folder.
  QByteArray image = QFile::encodeName(PrivateOutputPath(QStringLiteral("hw.png")));
  QByteArray data = QFile::encodeName(PrivateOutputPath(QStringLiteral("hw.ini")));
  const TestParams& p = m_params;
  const int rc =
      sdk.pStartSign(p.port, p.bp, p.baud, p.timeout, document, image.data(), data.data());
  return rc == 0 || rc == kNoAnswer ? Outcome::Passed : Failed("TLX_StartSign", rc);
}

TestThread::Outcome TestThread::TestDownload() {
  char path[sizeof(m_params.filePath)];
  std::memcpy(path, m_params.filePath, sizeof(path));
  path[sizeof(path) - 1] = '\0';
  const TestParams& p = m_params;
  const int rc = sdk.pDownLoadFile(p.port, p.bp, p.baud, p.mediaType, path);
  return rc == 0 ? Outcome::Passed : Failed("TLX_DownLoadFile", rc);
}

TestThread::Outcome TestThread::Failed(const char* function, int code) {
  const char* text = sdk.pStrError ? sdk.pStrError(code) : "";
  // The call the stop button cancelled: not passed, as every call that does
  // not pass, but logged as stopped rather than as a failure.
  if (code == kCancelled && isInterruptionRequested())
    failures.addStopped(m_testName, function, code, text);
  else
    failures.add(m_testName, function, code, text);
  return Outcome::Failed;
}

void TestThread::Report(const QString& text) {
  if (window) window->setInfoText(text);
}

void TestThread::Pause(int seconds) {
  // A negative interval counts as no pause. The pause is slept in short
  // slices so that a stop never waits behind it.
  constexpr qint64 kSliceMs = 50;
  qint64 remainingMs = seconds > 0 ? qint64(seconds) * 1000 : 0;
  while (remainingMs > 0 && !isInterruptionRequested()) {
    const qint64 slice = remainingMs < kSliceMs ? remainingMs : kSliceMs;
    msleep(static_cast<unsigned long>(slice));
    remainingMs -= slice;
  }
}
