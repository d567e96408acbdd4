// One command exchange: open, write the command, read the reply until the
// end condition holds or the time limit passes, close; port-layer results
// are mapped to transaction codes.
#include <cstring>

#include "session/session.h"

namespace {

int MapReadResult(int n) {
  switch (n) {
    case TLX_PORT_TIMEOUT:
      return TLX_ERR_TIMEOUT;
    case TLX_PORT_BAD_TYPE:
      return TLX_ERR_READ;
    case TLX_PORT_CANCELLED:
      return TLX_ERR_CANCEL;
    default:
      // Any other negative value is a failed read, never a length.
      return n < 0 ? TLX_ERR_READ : TLX_OK;
  }
}

}  // namespace

int TransProc(int port, char bp, int baud, char* cmd, int cmdLen, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  if (cmd == nullptr || cmdLen < 0) return TLX_ERR_ARG;
  if (reply != nullptr && (replyLen == nullptr || *replyLen <= 0)) return TLX_ERR_ARG;

  const int rc = OpenDevice(port, bp, baud);
  if (rc != TLX_OK) return rc;

  const long length = cmdLen == 0 ? static_cast<long>(std::strlen(cmd)) : cmdLen;
  int result = TLX_OK;
  if (g_device.Write(cmd, static_cast<int>(length)) < length) {
    result = TLX_ERR_WRITE;
  } else if (reply != nullptr) {
    const int n = g_device.Read(reply, *replyLen, cond, timeoutMs);
    result = MapReadResult(n);
    if (result == TLX_OK) *replyLen = n;
  }

  CloseDevice(port, bp);
  return result;
}

int TransProc(int port, char bp, int baud, char* cmd, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  return TransProc(port, bp, baud, cmd, 0, reply, replyLen, cond, timeoutMs);
}
