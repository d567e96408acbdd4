#include "TlxdTest.h"

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
#include <QTimer>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tlxtest {

const char kTellerOrigin[] = "http://teller.test";
const char kTellerToken[] = "teller-token-0123456789";
const char kPageOrigin[] = "http://page.test:8080";
const char kPageToken[] = "page-token-9876543210";

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

int Code(const QJsonObject& reply) {
  return reply.value("code").isDouble() ? reply.value("code").toInt() : -1000;
}

QJsonObject Outputs(const QJsonObject& reply) { return reply.value("outputs").toObject(); }

std::string Dump(const QJsonObject& o) {
  return QJsonDocument(o).toJson(QJsonDocument::Compact).left(2000).toStdString();
}

// ---- Conn -------------------------------------------------------------------

void Conn::Send(const QJsonObject& request) {
  SendText(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

QJsonObject Conn::Call(const QString& fn, const QJsonObject& args, int timeoutMs) {
  QJsonObject r;
  const int id = nextId++;
  r["id"] = id;
  r["fn"] = fn;
  r["args"] = args;
  Send(r);
  return Reply(id, timeoutMs);
}

QJsonObject Conn::Reply(const QJsonValue& id, int timeoutMs) {
  for (auto it = stash_.begin(); it != stash_.end(); ++it) {
    if (it->value("id") == id) {
      QJsonObject o = *it;
      stash_.erase(it);
      return o;
    }
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  QJsonObject m;
  while (Next(&m, RemainingMs(deadline))) {
    if (m.value("id") == id) return m;
    stash_.push_back(m);
  }
  return {};
}

// ---- Unix socket ------------------------------------------------------------

UnixConn::UnixConn(const std::string& path) {
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

UnixConn::~UnixConn() {
  if (fd_ >= 0) close(fd_);
}

void UnixConn::SendText(const QByteArray& text) {
  const QByteArray line = text + '\n';
  size_t done = 0;
  while (fd_ >= 0 && done < static_cast<size_t>(line.size())) {
    const ssize_t n = send(fd_, line.constData() + done, line.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

bool UnixConn::Next(QJsonObject* message, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int nl = buffer_.indexOf('\n');
    if (nl >= 0) {
      *message = QJsonDocument::fromJson(buffer_.left(nl)).object();
      buffer_.remove(0, nl + 1);
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, RemainingMs(deadline)) <= 0) return false;
    char chunk[65536];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<int>(n));
  }
}

bool UnixConn::Closed(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return true;
    buffer_.append(chunk, static_cast<int>(n));
  }
}

// ---- WebSocket ----------------------------------------------------------------

WsConn::WsConn(const QString& origin) : ws_(origin) {
  QObject::connect(&ws_, &QWebSocket::textMessageReceived,
                   [this](const QString& t) { inbox_.push_back(t); });
  QObject::connect(&ws_, &QWebSocket::disconnected, [this] { closed_ = true; });
}

bool WsConn::Wait(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (RemainingMs(deadline) == 0) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool WsConn::Open(int port, const QString& host, int timeoutMs) {
  ws_.open(QUrl(QString("ws://%1:%2/").arg(host).arg(port)));
  Wait([this] { return closed_ || ws_.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
  return ws_.state() == QAbstractSocket::ConnectedState;
}

bool WsConn::OpenWithToken(int port, const QString& token) {
  if (!Open(port)) return false;
  QJsonObject args;
  args["token"] = token;
  return Code(Call("hello", args)) == 0;
}

void WsConn::SendText(const QByteArray& text) {
  ws_.sendTextMessage(QString::fromUtf8(text));
  ws_.flush();
}

bool WsConn::Next(QJsonObject* message, int timeoutMs) {
  if (!Wait([this] { return !inbox_.empty() || closed_; }, timeoutMs) || inbox_.empty())
    return false;
  *message = QJsonDocument::fromJson(inbox_.front().toUtf8()).object();
  inbox_.pop_front();
  return true;
}

bool WsConn::Closed(int timeoutMs) {
  return Wait([this] { return closed_; }, timeoutMs);
}

// ---- The service ----------------------------------------------------------------

void TlxdTest::SetUpTestSuite() {
#if defined(__SANITIZE_THREAD__)
  // tlxd hands its work between threads through Qt's event queue as well,
  // whose futex locks the sanitizer cannot see inside the uninstrumented Qt.
  setenv("TSAN_OPTIONS", "suppressions=" TLX_QT_TSAN_SUPP ":ignore_noninstrumented_modules=1", 0);
#endif
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "tlxd_test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
  }
}

void TlxdTest::SetUp() { CommandTest::SetUp(); }

void TlxdTest::TearDown() {
  // It ends cleanly: exit status 0, so also no sanitizer report.
  if (pid_ > 0) {
    EXPECT_EQ(StopService(), 0) << ServiceLog();
  }
  CommandTest::TearDown();
}

bool TlxdTest::StartService(const ServiceOptions& o) {
  options = o;
  socketPath_ = Scratch("tlxd.sock");
  const std::string config = Scratch("tlxd.conf"), ready = Scratch("tlxd.ready");
  std::ofstream c(config);
  c << "[service]\nport = " << o.port << "\nunix_socket = " << socketPath_
    << "\nmax_message = " << o.maxMessage << "\nqueue = " << o.queue << "\nrate = " << o.rate
    << "\nburst = " << o.burst << "\nunix_group = " << o.unixGroup
    << "\n\n[link]\nport = " << (o.hid ? 0 : SerialPort()) << "\nbaud = 9600\n\n[origin "
    << kTellerOrigin << "]\ntoken = " << kTellerToken << "\nallow = plain-pin, keys\n\n[origin "
    << kPageOrigin << "]\ntoken = " << kPageToken << "\n";
  c.close();
  unlink(ready.c_str());

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, Scratch("tlxd.log").c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args{TLXD_PATH,      "--config", config,
                                "--ready-file", ready,      "--allow-root"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, TLXD_PATH, &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  for (int i = 0; i < 300; ++i) {
    std::ifstream r(ready);
    std::string line;
    while (std::getline(r, line))
      if (line.compare(0, 5, "port=") == 0) port_ = std::stoi(line.substr(5));
    if (port_ > 0 && !r.bad()) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

int TlxdTest::StopService() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    // Keep the WebSocket clients' event loops turning meanwhile.
    QCoreApplication::processEvents();
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      port_ = 0;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return -2;
}

std::string TlxdTest::ServiceLog() {
  std::ifstream in(Scratch("tlxd.log"));
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::unique_ptr<UnixConn> TlxdTest::ConnectUnix() {
  auto c = std::make_unique<UnixConn>(socketPath_);
  EXPECT_TRUE(c->ok()) << "no connection to " << socketPath_;
  return c;
}

std::unique_ptr<WsConn> TlxdTest::ConnectTeller() {
  auto c = std::make_unique<WsConn>(kTellerOrigin);
  EXPECT_TRUE(c->OpenWithToken(port_, kTellerToken)) << ServiceLog();
  return c;
}

std::unique_ptr<Conn> TlxdTest::Connect(bool webSocket) {
  if (webSocket) return ConnectTeller();
  return ConnectUnix();
}

void TlxdTest::QuickCustomer(int pinMs) {
  tlxsim::Customer c = terminal().GetCustomer();
  c.info.delayMs = c.evaluator.delayMs = c.keypadAmount.delayMs = c.keypadPhone.delayMs = 50;
  c.sign.delayMs = 50;
  c.pin.delayMs = pinMs;
  SetCustomer(c);
}

}  // namespace tlxtest
