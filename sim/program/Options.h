// Command line of tlx-sim.
#ifndef TLXSIM_OPTIONS_H
#define TLXSIM_OPTIONS_H

#include <string>

#include "VirtualTerminal.h"

namespace tlxsim {

struct ProgramOptions {
  VirtualTerminalOptions terminal;
  Customer customer;
  std::string envFile;  // --env-file: also write the exports here
  bool help = false;
};

// Parses argv into *out. On a bad option returns false with a message in
// *error.
bool ParseOptions(int argc, char** argv, ProgramOptions* out, std::string* error);

// The usage text.
std::string Usage(const char* program);

}  // namespace tlxsim

#endif
