// One command exchange: open, write the command, read the reply until the
// end condition holds or the time limit passes, close; port-layer results
// are mapped to transaction codes.
#include <cstring>

#include "session/session.h"
#include "trace/wire_trace.h"
#include "transport/last_error.h"

int PortReadCode(int portResult, int timeoutCode) {
  if (portResult >= 0) return TLX_OK;
  switch (portResult) {
    case TLX_PORT_TIMEOUT:
    case TLX_PORT_GONE:
      // A device that went away gives what running out of time gives: the
      // caller handles it the same way, and the next command opens afresh.
      return timeoutCode;
    case TLX_PORT_CANCELLED:
      return TLX_ERR_CANCEL;
    default:
      // A link of unknown type, or any other failure: never a length.
      return TLX_ERR_READ;
  }
}

int TransProc(int port, char bp, int baud, char* cmd, int cmdLen, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  if (cmd == nullptr || cmdLen < 0) return TLX_ERR_ARG;
  if (reply != nullptr && (replyLen == nullptr || *replyLen <= 0)) return TLX_ERR_ARG;

  const long length = cmdLen == 0 ? static_cast<long>(std::strlen(cmd)) : cmdLen;
  tlx::TracedExchange trace(port, bp, baud, cmd, static_cast<int>(length), cond, timeoutMs);
  const int rc = OpenDevice(port, bp, baud);
  if (rc != TLX_OK) return trace.Done(rc);

  int result = TLX_OK;
  const bool written = g_device.Write(cmd, static_cast<int>(length)) >= length;
  trace.Written(written);
  if (!written) {
    result = TLX_ERR_WRITE;
    tlx::SetExchangeError(false, 0, timeoutMs);
  } else if (reply != nullptr) {
    const int n = g_device.Read(reply, *replyLen, trace.Condition(), timeoutMs);
    trace.Read(reply, n);
    result = PortReadCode(n);
    if (result == TLX_OK) *replyLen = n;
    else tlx::SetExchangeError(true, n, timeoutMs);
  }

  CloseDevice(port, bp);
  return trace.Done(result);
}

int TransProc(int port, char bp, int baud, char* cmd, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  return TransProc(port, bp, baud, cmd, 0, reply, replyLen, cond, timeoutMs);
}
