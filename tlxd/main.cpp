// tlxd: one process per desktop session that owns the terminal link and
// offers every TLX_ function as JSON messages, to pages over a WebSocket on
// the loopback interface and to local programs over a Unix socket.
//   tlxd [--config FILE] [--ready-file FILE]
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Config.h"
#include "Dispatcher.h"
#include "Log.h"
#include "UnixFront.h"
#include "WebFront.h"
#include "tlxdev.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  const ssize_t n = write(g_signalPipe[1], &c, 1);
  (void)n;
}

const char kUsage[] =
    "usage: tlxd [--config FILE] [--ready-file FILE] [--allow-root]\n"
    "  --config FILE      read only FILE (default: /etc/tlx/tlxd.conf, then\n"
    "                     ~/.config/tlx/tlxd.conf over it)\n"
    "  --ready-file FILE  once listening, write port=N and unix=PATH lines to FILE\n"
    "  --allow-root       run even as root (test machines only)\n"
    "SIGTERM, SIGINT and SIGHUP end it: queued requests are refused, the running\n"
    "command is cancelled. See tlxd(8).\n";

// A private directory for the files of calls, in the user's runtime
// directory when there is one.
std::string MakePrivateDir() {
  const char* base = std::getenv("XDG_RUNTIME_DIR");
  if (base == nullptr || base[0] != '/') base = std::getenv("TMPDIR");
  if (base == nullptr || base[0] != '/') base = "/tmp";
  std::string pattern = std::string(base) + "/tlxd-files.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) return "";
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  std::string configFile, readyFile;
  bool allowRoot = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--config" || a == "--ready-file") && i + 1 < argc) {
      (a == "--config" ? configFile : readyFile) = argv[++i];
    } else if (a == "--allow-root") {
      allowRoot = true;
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("tlxd %s\n", TLX_VERSION_STRING);
      return 0;
    } else {
      std::fprintf(stderr, "tlxd: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if ((getuid() == 0 || geteuid() == 0) && !allowRoot) {
    std::fputs("tlxd: runs as a user, not as root (--allow-root for a test machine)\n", stderr);
    return 1;
  }

  tlxd::Config config;
  std::string error;
  if (!configFile.empty()) {
    if (!tlxd::ReadConfigFile(configFile, true, &config, &error)) {
      std::fprintf(stderr, "tlxd: %s\n", error.c_str());
      return 1;
    }
  } else {
    for (const std::string& f : tlxd::StandardConfigFiles()) {
      if (!tlxd::ReadConfigFile(f, false, &config, &error)) {
        std::fprintf(stderr, "tlxd: %s\n", error.c_str());
        return 1;
      }
    }
  }

  QCoreApplication app(argc, argv);
  umask(077);
  const std::string privateDir = MakePrivateDir();
  if (privateDir.empty()) {
    std::fprintf(stderr, "tlxd: cannot make a private directory: %s\n", std::strerror(errno));
    return 1;
  }
  const QString privateQ = QString::fromStdString(privateDir);
  int status = 0;
  {
    tlxd::Dispatcher dispatcher(config, privateDir);
    tlxd::WebFront web(dispatcher, config);
    tlxd::UnixFront local(dispatcher, config, privateDir);
    QString why;
    if (!web.Listen(&why) || !local.Listen(&why)) {
      tlxd::Log(why);
      QDir(privateQ).removeRecursively();
      return 1;
    }
    tlxd::Log(QString("listening on ws://127.0.0.1:%1%2 and %3; link: port %4%5; %6 origins")
                  .arg(web.port())
                  .arg(web.ipv6() ? QString(", ws://[::1]:%1").arg(web.port()) : QString())
                  .arg(local.path())
                  .arg(config.linkPort)
                  .arg(config.linkPort == 0 ? " (USB)" : QString(", %1 baud").arg(config.linkBaud))
                  .arg(config.origins.size()));
    if (!readyFile.empty()) {
      QSaveFile f(QString::fromStdString(readyFile));
      if (f.open(QIODevice::WriteOnly)) {
        f.write(QString("port=%1\nunix=%2\n").arg(web.port()).arg(local.path()).toUtf8());
        f.commit();
      }
    }

    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    bool stopping = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
      char buf[16];
      while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
      }
      if (stopping) return;
      stopping = true;
      tlxd::Log("stopping");
      web.StopListening();
      local.StopListening();
      dispatcher.Shutdown([&] {
        web.CloseAll();
        local.CloseAll();
        // Replies and close frames still need the event loop for a moment.
        QTimer::singleShot(200, &app, [&] { app.quit(); });
      });
    });
    status = app.exec();
    if (!dispatcher.Idle()) {
      // The worker is still inside the library; leave without waiting.
      QDir(privateQ).removeRecursively();
      if (!readyFile.empty()) QFile::remove(QString::fromStdString(readyFile));
      tlxd::Log("stopped");
      std::_Exit(status);
    }
  }
  QDir(privateQ).removeRecursively();
  if (!readyFile.empty()) QFile::remove(QString::fromStdString(readyFile));
  tlxd::Log("stopped");
  return status;
}
