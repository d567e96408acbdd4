// Parameters of one loop-test run, filled by the window before every start
// and read by the worker while it runs.
#ifndef TESTPARAMS_H
#define TESTPARAMS_H

struct TestParams {
  int loopCount = 0;  // 0 or less: loop until stopped
  int port = 0;       // 0 = USB HID, n >= 1 = serial port n
  char bp = 0;        // BP channel letter, 0 for none
  int baud = 0;
  int testKeypad = 0;
  int testInfo = 0;
  int testEva = 0;
  int testNumpad = 0;
  int testSign = 0;
  int testDwn = 0;
  int interval = 0;         // pause after every loop, seconds
  int timeout = 0;          // command timeout, seconds
  int mediaType = 0;        // media type of the downloaded file
  char filePath[256] = {};  // NUL-terminated path of the file to download
};

// Written by the GUI thread only while the worker is idle; the worker takes
// its copy when a run begins.
extern TestParams g_Params;

// Replaces g_Params (GUI thread) / copies it (worker), under one lock so that
// the hand-over is ordered for both threads.
void StoreParams(const TestParams& params);
TestParams LoadParams();

#endif
