// What the programs that run the virtual terminal share (tlx-sim, and the
// terminal window TLX_Terminal): the log line format, and announcing the
// environment a host process needs once the links are up.
#ifndef TLXSIM_SIMPROGRAM_H
#define TLXSIM_SIMPROGRAM_H

#include <csignal>
#include <functional>
#include <mutex>
#include <string>

#include "Options.h"
#include "VirtualTerminal.h"

namespace tlxsim {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (call it before
// any thread starts, so every thread inherits the mask) and ignores
// SIGPIPE. The blocked set is what the program then waits for.
sigset_t BlockStopSignals();

// "hh:mm:ss.mmm" of the local time.
std::string Timestamp();

// Writes one time-stamped line to standard output (serialised).
void PrintLine(const std::string& line);
// The engine logger of the programs: PrintLine for every line.
std::function<void(const std::string&)> StdoutLogger();

// Prints one "export NAME=value" line per variable, writes the env file of
// the options (NAME=value lines, in one step) and prints the "ready" line.
// False (with *error) when the env file cannot be written.
bool Announce(const VirtualTerminal& terminal, const ProgramOptions& options, std::string* error);

}  // namespace tlxsim

#endif
