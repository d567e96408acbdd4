#include "Codes.h"

#include "tlxdev.h"

namespace tlxd {

QString CodeName(int code) {
  switch (code) {
    case TLX_OK:
      return "TLX_OK";
    case TLX_ERR_ARG:
      return "TLX_ERR_ARG";
    case TLX_ERR_TIMEOUT:
      return "TLX_ERR_TIMEOUT";
    case TLX_ERR_OPEN:
      return "TLX_ERR_OPEN";
    case TLX_ERR_WRITE:
      return "TLX_ERR_WRITE";
    case TLX_ERR_READ:
      return "TLX_ERR_READ";
    case TLX_ERR_NOFILE:
      return "TLX_ERR_NOFILE";
    case TLX_ERR_REPLY:
      return "TLX_ERR_REPLY";
    case TLX_ERR_SHORTFILE:
      return "TLX_ERR_SHORTFILE";
    case TLX_ERR_CANCEL:
      return "TLX_ERR_CANCEL";
    case TLX_ERR_BUFFER:
      return "TLX_ERR_BUFFER";
    case kErrRequest:
      return "TLXD_ERR_REQUEST";
    case kErrFunction:
      return "TLXD_ERR_FUNCTION";
    case kErrArgument:
      return "TLXD_ERR_ARGUMENT";
    case kErrAuth:
      return "TLXD_ERR_AUTH";
    case kErrForbidden:
      return "TLXD_ERR_FORBIDDEN";
    case kErrQueueFull:
      return "TLXD_ERR_QUEUE_FULL";
    case kErrRate:
      return "TLXD_ERR_RATE";
    case kErrSize:
      return "TLXD_ERR_SIZE";
    case kErrShutdown:
      return "TLXD_ERR_SHUTDOWN";
    case kErrFile:
      return "TLXD_ERR_FILE";
    case kErrDuplicate:
      return "TLXD_ERR_DUPLICATE";
    default:
      return "UNKNOWN";
  }
}

QString CodeText(int code) {
  switch (code) {
    case kErrRequest:
      return "malformed request";
    case kErrFunction:
      return "unknown function";
    case kErrArgument:
      return "missing or invalid argument";
    case kErrAuth:
      return "token missing or wrong";
    case kErrForbidden:
      return "function not allowed for this origin";
    case kErrQueueFull:
      return "queue full, request refused";
    case kErrRate:
      return "request rate exceeded";
    case kErrSize:
      return "message too big";
    case kErrShutdown:
      return "service stopping";
    case kErrFile:
      return "file of the call could not be stored or read";
    case kErrDuplicate:
      return "id already in use by a pending request";
    default:
      return TLX_StrError(code);
  }
}

}  // namespace tlxd
