// Helpers shared by the link tests: one exchange through libtlxdev's
// session layer, and a look-up in the engine's history.
#ifndef TLXSIM_LINKTESTSUPPORT_H
#define TLXSIM_LINKTESTSUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "Engine.h"
#include "compat/session.h"

namespace linktest {

struct Exchange {
  int result = 0;
  std::string reply;
};

// TransProc with an explicit command length and a 4096-byte reply buffer.
Exchange Trans(int port, char bp, const std::string& cmd, EndConditionFn cond, int timeoutMs);

// The received commands whose bytes equal `bytes`.
std::vector<tlxsim::Received> Find(const std::vector<tlxsim::Received>& history,
                                   const std::string& bytes);

// Polls `done` until it holds or timeoutMs passed; the links hand bytes to
// the engine on their own threads, so what the host wrote last (the channel
// reset at close) may still be on its way when the exchange returns.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

// Pseudo-random bytes (fixed by n), the first one not zero (a serial memory
// download refuses a leading zero byte).
std::string RandomBytes(size_t n);
// The terminal's stored file of media type 255 under `name`, or "<missing>".
std::string StoredFile(tlxsim::Engine& engine, const std::string& name);

extern const std::string kAck;       // "\x02\xaa\x03"
extern const std::string kCheckR40;  // "\x1b[0CHECKR40"

}  // namespace linktest

#endif
