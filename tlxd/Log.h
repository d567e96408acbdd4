// tlxd's log: one line per event on standard error (the journal under
// systemd). Only what the service decides is written: function names,
// result codes, times, origins. Never an argument or an output of a call,
// so no key, PIN, PIN block or account number can reach it.
#ifndef TLXD_LOG_H
#define TLXD_LOG_H

#include <QString>

namespace tlxd {

void Log(const QString& line);

}  // namespace tlxd

#endif
