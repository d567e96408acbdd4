// The tests of the loop runner: the same calls and pass rules as the loop
// test tool's, one test at a time, each call reported as it ends.
//   pin       TLX_SetShowDISP(1, 1) (result not used), TLX_SetPinLen(6), and
//             when that gave 0 TLX_ReadPin(0, 0, timeout, 64 bytes): passes
//             on 0 or -2 of TLX_ReadPin
//   info      TLX_StartInfo with the text file (UTF-8, sent as GBK): 0
//   eva       TLX_StartEvaluator("王五", "100001", 5 stars, photo): 0
//   numpad    TLX_StartKeyboard(timeout, mode 1): 0 or -2
//   sign      TLX_StartSign(timeout, document, image, data): 0 or -2
//   download  TLX_DownLoadFile(type, file): 0
// A call that a stop (Ctrl-C) cancels is counted as stopped, not failed.
#ifndef TLXCTL_LOOP_TESTS_H
#define TLXCTL_LOOP_TESTS_H

#include <functional>
#include <string>
#include <vector>

#include "cli.h"

namespace tlxctl {

enum class LoopTest { Pin, Info, Eva, Numpad, Sign, Download };

// The tests in the order a loop runs them, with their names.
const std::vector<LoopTest>& AllLoopTests();
const char* LoopTestName(LoopTest t);
// Parses "pin,info,..." (or "all"); throws UsageError naming the choices.
std::vector<LoopTest> ParseLoopTests(const std::string& text);

struct LoopSettings {
  Link link;
  int timeout = 3;
  std::string infoFile = "info.txt";
  std::string photo = "photo.jpg";
  std::string document = "hwBack.pdf";
  std::string image = "/tmp/hw.png";
  std::string data = "/tmp/hw.ini";
  std::string downloadFile;
  int mediaType = 0;
};

enum class Outcome { None, Pass, Fail, Stopped };
const char* OutcomeName(Outcome o);

struct LoopCall {
  LoopTest test;
  std::string function;
  int code = 0;
  double latencyMs = 0;
  long long wallMs = 0;             // when the call ended, ms since the epoch
  Outcome outcome = Outcome::None;  // set on the call that decides its test
};

// Runs one test, reporting every call. Gives the test's outcome; Fail with
// *problem set when the test could not run at all (its text file cannot be
// read), which ends the run.
Outcome RunLoopTest(LoopTest t, const LoopSettings& s,
                    const std::function<void(const LoopCall&)>& report, std::string* problem);

// The text of the information test, as sent (GBK); false with *problem
// when the file cannot be read or is not UTF-8.
bool LoadInfoText(const std::string& path, std::string* gbk, std::string* problem);

}  // namespace tlxctl

#endif
