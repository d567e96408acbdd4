// tlx-sim: the virtual TLX terminal as a program. It serves the serial line
// and the USB side, prints the environment a host process needs (one export
// line each) and then one log line per command received and per answer.
#include <cctype>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <sys/time.h>
#include <unistd.h>

#include "Options.h"
#include "VirtualTerminal.h"

using namespace tlxsim;

namespace {

std::mutex g_outLock;

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

// Quotes a value for a POSIX shell when it holds anything but plain path
// characters.
std::string ShellValue(const std::string& v) {
  bool plain = !v.empty();
  for (char c : v)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
          c == '-' || c == '%' || c == ':' || c == ','))
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
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  options.terminal.setEnvironment = false;
  VirtualTerminal terminal(options.terminal);
  terminal.engine().SetCustomer(options.customer);
  terminal.engine().SetLogger([](const std::string& line) {
    std::lock_guard<std::mutex> g(g_outLock);
    std::cout << Timestamp() << ' ' << line << std::endl;
  });
  try {
    terminal.Start();
  } catch (const std::exception& e) {
    std::cerr << "tlx-sim: " << e.what() << "\n";
    return 1;
  }

  // stdout: export lines for a shell; the file: NAME=value lines, which a
  // script reads line by line or sources with `set -a`.
  std::string exports, assignments;
  for (const auto& kv : terminal.Environment()) {
    assignments += kv.first + "=" + ShellValue(kv.second) + "\n";
    exports += "export " + kv.first + "=" + ShellValue(kv.second) + "\n";
  }
  {
    std::lock_guard<std::mutex> g(g_outLock);
    std::cout << exports << std::flush;
  }
  int status = 0;
  if (!options.envFile.empty() && !WriteEnvFile(options.envFile, assignments)) {
    std::cerr << "tlx-sim: cannot write " << options.envFile << "\n";
    status = 1;
  } else {
    {
      std::lock_guard<std::mutex> g(g_outLock);
      std::cout << Timestamp() << " terminal " << options.terminal.model << " ready";
      if (options.terminal.serial) {
        std::cout << ", serial port";
        for (int p : options.terminal.serialPorts) std::cout << ' ' << p;
      }
      if (options.terminal.hid) std::cout << ", USB port 0";
      if (options.terminal.pace) std::cout << ", paced";
      std::cout << "; storage " << terminal.storageDir() << std::endl;
    }
    int sig = 0;
    sigwait(&stopSignals, &sig);
    std::lock_guard<std::mutex> g(g_outLock);
    std::cout << Timestamp() << " stopping on signal " << sig << std::endl;
  }

  terminal.engine().SetLogger(nullptr);
  terminal.Stop();
  if (!options.envFile.empty()) std::remove(options.envFile.c_str());
  return status;
}
