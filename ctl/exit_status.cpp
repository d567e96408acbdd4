#include "exit_status.h"

#include "tlxdev.h"

namespace tlxctl {

const int kResultCodes[] = {
    TLX_OK,         TLX_ERR_ARG,   TLX_ERR_TIMEOUT,   TLX_ERR_OPEN,   TLX_ERR_WRITE, TLX_ERR_READ,
    TLX_ERR_NOFILE, TLX_ERR_REPLY, TLX_ERR_SHORTFILE, TLX_ERR_CANCEL, TLX_ERR_BUFFER};
const int kResultCodeCount = sizeof kResultCodes / sizeof kResultCodes[0];

int ExitStatusOf(int result) {
  if (result == TLX_OK) return kExitOk;
  if (result >= TLX_ERR_BUFFER && result <= TLX_ERR_ARG) return kExitResultBase - result;
  return kExitUnknownResult;
}

}  // namespace tlxctl
