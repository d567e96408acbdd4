// Exit statuses of tlxctl. Each result code of the library has its own:
// status 10 - code, so -1 gives 11 ... -10 gives 20.
#ifndef TLXCTL_EXIT_STATUS_H
#define TLXCTL_EXIT_STATUS_H

namespace tlxctl {

enum {
  kExitOk = 0,
  kExitLocal = 1,         // tlxctl's own failure: a file to read or write, the trace file
  kExitUsage = 2,         // a mistake in the command line
  kExitNotFound = 3,      // probe: no terminal answered
  kExitLoopFailures = 4,  // loop: a test failed
  kExitResultBase = 10,
  kExitUnknownResult = 21,  // a result code the library does not document
};

// Exit status of a library result code.
int ExitStatusOf(int result);

// The result codes the library documents, TLX_OK first.
extern const int kResultCodes[];
extern const int kResultCodeCount;

}  // namespace tlxctl

#endif
