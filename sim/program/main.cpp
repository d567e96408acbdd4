// tlx-sim: the virtual TLX terminal as a program. It serves the serial line
// and the USB side, prints the environment a host process needs (one export
// line each) and then one log line per command received and per answer.
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "Options.h"
#include "SimProgram.h"
#include "VirtualTerminal.h"

using namespace tlxsim;

int main(int argc, char** argv) {
  ProgramOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::cerr << "tlx-sim: " << error << "\n" << Usage(argv[0]);
    return 2;
  }
  if (options.help) {
    std::cout << Usage(argv[0]);
    return 0;
  }

  // Signals are taken by sigwait below; the link threads inherit the mask.
  sigset_t stopSignals = BlockStopSignals();

  options.terminal.setEnvironment = false;
  // A desktop at the other end of a board's device port plugs it in when
  // it likes: tlx-sim does not wait for a host.
  options.terminal.waitForHost = false;
  VirtualTerminal terminal(options.terminal);
  terminal.engine().SetCustomer(options.customer);
  terminal.engine().SetLogger(StdoutLogger());
  try {
    terminal.Start();
  } catch (const std::exception& e) {
    std::cerr << "tlx-sim: " << e.what() << "\n";
    return 1;
  }

  int status = 0;
  if (!Announce(terminal, options, &error)) {
    std::cerr << "tlx-sim: " << error << "\n";
    status = 1;
  } else {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    PrintLine("stopping on signal " + std::to_string(sig));
  }

  terminal.engine().SetLogger(nullptr);
  terminal.Stop();
  if (!options.envFile.empty()) std::remove(options.envFile.c_str());
  return status;
}
