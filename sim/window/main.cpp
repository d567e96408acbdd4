// TLX_Terminal: the virtual TLX terminal with its customer-side window. It
// serves the serial line and the USB side as tlx-sim does (same options,
// same export lines and log on standard output), and shows the terminal's
// screen; the person at the window answers the prompts.
//   TLX_Terminal [--scripted] [--pictures DIR] [--beside] [tlx-sim options]
#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <sys/signalfd.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "BesidePlacement.h"
#include "Options.h"
#include "SimProgram.h"
#include "TerminalWindow.h"
#include "VirtualTerminal.h"

using namespace tlxsim;

namespace {

struct WindowOptions {
  bool scripted = false;  // the scripted customer answers; the window shows it
  QString pictures;       // a picture of the window at every prompt
  bool beside = false;    // at the right edge of the screen, beside the demo
};

std::string WindowUsage(const char* program) {
  return std::string("usage: ") + program +
         " [--scripted] [--pictures DIR] [--beside] [tlx-sim options]\n"
         "The virtual TLX terminal with its customer-side window: the person at the\n"
         "window answers the prompts.\n\n"
         "  --scripted                the scripted customer answers; the window shows it\n"
         "  --pictures DIR            save a picture of the window at every prompt\n"
         "  --beside                  place the window beside the demo (which goes to the\n"
         "                            left edge): its usual size at the right edge, or\n"
         "                            compact in the width the demo leaves\n\n"
         "tlx-sim options:\n";
}

// Takes the window's own options out of argv; the rest are tlx-sim's.
bool TakeWindowOptions(std::vector<char*>* args, WindowOptions* w, std::string* error) {
  std::vector<char*> rest;
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string a = (*args)[i];
    if (i > 0 && a == "--scripted") {
      w->scripted = true;
    } else if (i > 0 && a == "--beside") {
      w->beside = true;
    } else if (i > 0 && a == "--pictures") {
      if (i + 1 >= args->size()) {
        *error = "--pictures needs a directory";
        return false;
      }
      w->pictures = QString::fromLocal8Bit((*args)[++i]);
    } else {
      rest.push_back((*args)[i]);
    }
  }
  *args = rest;
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << WindowUsage(argv[0]) << Usage("tlx-sim");
      return 0;
    }

  // SIGINT, SIGTERM and SIGHUP end the program through the event loop;
  // blocked before any thread starts, so that every thread inherits it.
  sigset_t stopSignals = BlockStopSignals();

  QApplication app(argc, argv);

  std::vector<char*> args(argv, argv + argc);
  WindowOptions window;
  ProgramOptions options;
  std::string error;
  if (!TakeWindowOptions(&args, &window, &error) ||
      !ParseOptions(static_cast<int>(args.size()), args.data(), &options, &error)) {
    std::cerr << "TLX_Terminal: " << error << "\n" << WindowUsage(argv[0]) << Usage("tlx-sim");
    return 2;
  }

  options.terminal.setEnvironment = false;
  VirtualTerminal terminal(options.terminal);
  terminal.engine().SetCustomer(options.customer);
  // The window logs the engine's lines to standard output too, as tlx-sim.
  auto* w = new TerminalWindow(terminal.engine(), !window.scripted, StdoutLogger());
  try {
    terminal.Start();
  } catch (const std::exception& e) {
    std::cerr << "TLX_Terminal: " << e.what() << "\n";
    delete w;
    return 1;
  }
  if (!Announce(terminal, options, &error)) {
    std::cerr << "TLX_Terminal: " << error << "\n";
    delete w;
    terminal.Stop();
    return 1;
  }
  if (!window.pictures.isEmpty()) w->takePictures(window.pictures);
  w->refreshState();
  w->show();
  if (window.beside) ShowBeside(w, QGuiApplication::primaryScreen());

  const int sigFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  QSocketNotifier stopNotifier(sigFd, QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [sigFd] {
    signalfd_siginfo info{};
    if (::read(sigFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
      PrintLine("stopping on signal " + std::to_string(info.ssi_signo));
    QCoreApplication::quit();
  });

  const int status = app.exec();
  delete w;  // the engine's callbacks go with it
  terminal.Stop();
  ::close(sigFd);
  if (!options.envFile.empty()) std::remove(options.envFile.c_str());
  return status;
}
