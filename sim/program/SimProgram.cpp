#include "SimProgram.h"

#include <pthread.h>
#include <sys/time.h>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>

namespace tlxsim {

namespace {

std::mutex g_outLock;

// Quotes a value for a POSIX shell when it holds anything but plain path
// characters.
std::string ShellValue(const std::string& v) {
  bool plain = !v.empty();
  for (char c : v)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-' ||
          c == '%' || c == ':' || c == ','))
      plain = false;
  if (plain) return v;
  std::string q = "'";
  for (char c : v) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool WriteEnvFile(const std::string& path, const std::string& text) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    if (!(f << text)) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

sigset_t BlockStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return stopSignals;
}

std::string Timestamp() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  tm t{};
  ::localtime_r(&tv.tv_sec, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03ld", t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<long>(tv.tv_usec / 1000));
  return buf;
}

void PrintLine(const std::string& line) {
  std::lock_guard<std::mutex> g(g_outLock);
  std::cout << Timestamp() << ' ' << line << std::endl;
}

std::function<void(const std::string&)> StdoutLogger() {
  return [](const std::string& line) { PrintLine(line); };
}

bool Announce(const VirtualTerminal& terminal, const ProgramOptions& options, std::string* error) {
  // stdout: the variables in the form that applies to one command only
  // ("env NAME=value ... COMMAND"): exported into a shell they would keep
  // every later program there on the libusb stand-in, blind to real USB
  // devices. The file: NAME=value lines, which a script reads line by line
  // or sources with `set -a`.
  std::string command = "env", assignments;
  for (const auto& kv : terminal.Environment()) {
    assignments += kv.first + "=" + ShellValue(kv.second) + "\n";
    command += " " + kv.first + "=" + ShellValue(kv.second);
  }
  {
    std::lock_guard<std::mutex> g(g_outLock);
    std::cout << "run a program against this terminal with:\n  " << command << " COMMAND\n"
              << std::flush;
  }
  if (!options.envFile.empty() && !WriteEnvFile(options.envFile, assignments)) {
    *error = "cannot write " + options.envFile;
    return false;
  }
  std::string ready = "terminal " + options.terminal.model + " ready";
  if (options.terminal.serial) {
    ready += ", serial port";
    for (int p : options.terminal.serialPorts) ready += ' ' + std::to_string(p);
  }
  if (terminal.UsesGadget())
    ready += ", USB gadget on " + terminal.Udc() + " (" +
             AnswerShapeName(options.terminal.gadget.shape) + " answers)";
  else if (options.terminal.hid)
    ready += ", USB port 0";
  if (options.terminal.pace) ready += ", paced";
  PrintLine(ready + "; storage " + terminal.storageDir());
  return true;
}

}  // namespace tlxsim
