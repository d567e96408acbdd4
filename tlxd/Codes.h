// Result codes of replies: the library's own (0, -1 .. -10) and the
// service's, below -100, each with its name and text.
#ifndef TLXD_CODES_H
#define TLXD_CODES_H

#include <QString>

namespace tlxd {

enum ServiceCode {
  kErrRequest = -101,    // not a JSON object with an id and a function
  kErrFunction = -102,   // no such function
  kErrArgument = -103,   // an argument missing or of the wrong type or range
  kErrAuth = -104,       // token missing or wrong
  kErrForbidden = -105,  // not allowed for this origin
  kErrQueueFull = -106,  // the queue is full
  kErrRate = -107,       // too many requests
  kErrSize = -108,       // message too big
  kErrShutdown = -109,   // the service is stopping
  kErrFile = -110,       // a file of the call could not be stored or read
  kErrDuplicate = -111,  // the id is in use by a request of this client
};

// "TLX_OK", "TLX_ERR_TIMEOUT", "TLXD_ERR_QUEUE_FULL", ...
QString CodeName(int code);
// TLX_StrError's text, or the service's.
QString CodeText(int code);

}  // namespace tlxd

#endif
