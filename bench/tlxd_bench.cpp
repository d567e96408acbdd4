// tlxd-bench: what the terminal service adds to a call. TLX_CheckOnline
// over USB HID on the in-process virtual terminal, called directly and
// through tlxd (Unix socket and WebSocket, one client), median and p99 of
// each; then the calls per second of 50 clients at once.
//   tlxd-bench TLXD_PATH [CALLS]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "VirtualTerminal.h"
#include "tlxdev.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const char kOrigin[] = "http://bench.test";
const char kToken[] = "bench-token-0123456789";

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Figures {
  double median = 0, p99 = 0;
  int failures = 0;
};

Figures Measure(int n, const std::function<bool()>& call) {
  for (int i = 0; i < n / 10; ++i) call();  // warm-up
  std::vector<double> us;
  Figures f;
  for (int i = 0; i < n; ++i) {
    const auto t0 = Clock::now();
    if (!call()) ++f.failures;
    us.push_back(Us(Clock::now() - t0));
  }
  std::sort(us.begin(), us.end());
  f.median = us[us.size() / 2];
  f.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  return f;
}

// One client of the Unix socket, one JSON line each way.
class LineClient {
 public:
  explicit LineClient(const std::string& path) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~LineClient() {
    if (fd_ >= 0) close(fd_);
  }
  // True when the reply came with code 0.
  bool CheckOnline() {
    const std::string req = "{\"id\":" + std::to_string(++id_) + ",\"fn\":\"TLX_CheckOnline\"}\n";
    if (fd_ < 0 ||
        send(fd_, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size()))
      return false;
    for (;;) {
      const size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        const bool ok = buffer_.compare(0, 9, "{\"code\":0") == 0;
        buffer_.erase(0, nl + 1);
        return ok;
      }
      char chunk[4096];
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

 private:
  int fd_ = -1;
  int id_ = 0;
  std::string buffer_;
};

// One WebSocket client, driven by a local event loop.
class WsClient {
 public:
  bool Open(int port) {
    QObject::connect(&ws_, &QWebSocket::textMessageReceived, [this](const QString& t) {
      last_ = QJsonDocument::fromJson(t.toUtf8()).object();
      got_ = true;
      if (loop_ != nullptr) loop_->quit();
    });
    ws_.open(QUrl(QString("ws://127.0.0.1:%1/").arg(port)));
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (ws_.state() != QAbstractSocket::ConnectedState && Clock::now() < deadline) Spin();
    return ws_.state() == QAbstractSocket::ConnectedState &&
           Call(QString("{\"id\":0,\"fn\":\"hello\",\"args\":{\"token\":\"%1\"}}").arg(kToken));
  }
  bool CheckOnline() { return Call(QString("{\"id\":%1,\"fn\":\"TLX_CheckOnline\"}").arg(++id_)); }

 private:
  bool Call(const QString& text) {
    got_ = false;
    ws_.sendTextMessage(text);
    ws_.flush();
    // Woken by the reply itself, so the wait adds no timer granularity.
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!got_) loop.exec();
    loop_ = nullptr;
    return got_ && last_.value("code").toInt(-1) == 0;
  }
  // Waits for the next event (at most a millisecond).
  void Spin() {
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
  }
  QWebSocket ws_{kOrigin};
  QJsonObject last_;
  QEventLoop* loop_ = nullptr;
  bool got_ = false;
  int id_ = 0;
};

void Row(const char* what, const Figures& f, const Figures* direct) {
  std::printf("  %-28s %8.1f us %8.1f us", what, f.median, f.p99);
  if (direct != nullptr) {
    std::printf("   adds %6.1f us at the median", f.median - direct->median);
    if (f.p99 > direct->p99)
      std::printf(", %6.1f us at p99", f.p99 - direct->p99);
    else
      std::printf(", p99 within the direct call's");
  }
  if (f.failures) std::printf("   (%d failed)", f.failures);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tlxd-bench TLXD_PATH [CALLS]\n");
    return 2;
  }
  const std::string tlxd = argv[1];
  const int calls = argc > 2 ? std::max(100, std::atoi(argv[2])) : 2000;
  QCoreApplication app(argc, argv);
  tlxsim::VirtualTerminalOptions vo;
  vo.serial = false;
  tlxsim::VirtualTerminal vt(vo);
  vt.Start();

  char dir[] = "/tmp/tlxd-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  const std::string base = dir, sock = base + "/tlxd.sock", ready = base + "/ready";
  std::ofstream(base + "/tlxd.conf")
      << "[service]\nport = 0\nunix_socket = " << sock
      << "\nrate = 100000\nburst = 100000\nqueue = 64\n[link]\nport = 0\n[origin " << kOrigin
      << "]\ntoken = " << kToken << "\n";
  std::vector<std::string> args{tlxd,           "--config", base + "/tlxd.conf",
                                "--ready-file", ready,      "--allow-root"};
  std::vector<char*> av;
  for (auto& a : args) av.push_back(&a[0]);
  av.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, (base + "/tlxd.log").c_str(), O_WRONLY | O_CREAT, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, tlxd.c_str(), &fa, nullptr, av.data(), environ) != 0) {
    std::fprintf(stderr, "tlxd-bench: cannot start %s\n", tlxd.c_str());
    return 1;
  }
  int port = 0;
  for (int i = 0; i < 300 && port == 0; ++i) {
    std::ifstream r(ready);
    std::string line;
    while (std::getline(r, line))
      if (line.compare(0, 5, "port=") == 0) port = std::atoi(line.c_str() + 5);
    if (port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  int status = 0;
  if (port == 0) {
    std::fprintf(stderr, "tlxd-bench: tlxd did not come up (log in %s)\n", base.c_str());
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return 1;
  }

  std::printf("TLX_CheckOnline over USB HID on the virtual terminal, %d calls each\n", calls);
  std::printf("  %-28s %11s %11s\n", "", "median", "p99");
  const Figures direct = Measure(calls, [] {
    char model[TLX_MODEL_SIZE] = {0};
    return TLX_CheckOnline(0, 0, 9600, model) == TLX_OK;
  });
  Row("direct call", direct, nullptr);
  LineClient unix(sock);
  const Figures viaUnix = Measure(calls, [&] { return unix.CheckOnline(); });
  Row("through tlxd, Unix socket", viaUnix, &direct);
  WsClient ws;
  if (ws.Open(port)) {
    const Figures viaWs = Measure(calls, [&] { return ws.CheckOnline(); });
    Row("through tlxd, WebSocket", viaWs, &direct);
  } else {
    std::printf("  WebSocket: no connection\n");
  }

  const int kClients = 50, kEach = 200;
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  const auto t0 = Clock::now();
  for (int k = 0; k < kClients; ++k) {
    threads.emplace_back([&] {
      LineClient c(sock);
      for (int i = 0; i < kEach; ++i)
        if (!c.CheckOnline()) ++failed;
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf(
      "%d clients x %d calls through the Unix socket: %.2f s, %.0f calls/s (%d failed); "
      "one direct caller: %.0f calls/s\n",
      kClients, kEach, seconds, kClients * kEach / seconds, failed.load(), 1e6 / direct.median);

  kill(pid, SIGTERM);
  waitpid(pid, &status, 0);
  std::string rm = "rm -rf '" + base + "'";
  if (std::system(rm.c_str()) != 0) {
  }
  return failed.load() == 0 && direct.failures == 0 && viaUnix.failures == 0 ? 0 : 1;
}
