// Texts of the result codes of the interface.
#include "tlxdev.h"

extern "C" {

TLX_EXPORT const char* TLX_StrError(int code) {
  switch (code) {
    case TLX_OK:
      return "success";
    case TLX_ERR_ARG:
      return "bad argument, nothing sent";
    case TLX_ERR_TIMEOUT:
      return "no complete reply in time";
    case TLX_ERR_OPEN:
      return "port cannot be opened, or another command is running";
    case TLX_ERR_WRITE:
      return "command not written in full";
    case TLX_ERR_READ:
      return "read failed";
    case TLX_ERR_NOFILE:
      return "file to download missing or unreadable";
    case TLX_ERR_REPLY:
      return "unexpected or refused reply";
    case TLX_ERR_SHORTFILE:
      return "file shorter than announced";
    case TLX_ERR_CANCEL:
      return "read cancelled";
    case TLX_ERR_BUFFER:
      return "caller's buffer too small";
    default:
      return "unknown result code";
  }
}

}  // extern "C"
