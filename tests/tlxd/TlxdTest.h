// Fixture of the service tests: a virtual terminal in this process, tlxd
// started as a program against it (on the link under test), and clients on
// both of its transports: the Unix socket (JSON lines) and the WebSocket
// (Qt's client, with an Origin).
#ifndef TLX_TESTS_TLXDTEST_H
#define TLX_TESTS_TLXDTEST_H

#include <sys/types.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QWebSocket>

#include <deque>
#include <memory>
#include <string>

#include "CommandTest.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace tlxtest {

// Origins of the test configuration: the teller's page may use every
// function; the other page only the default ones.
extern const char kTellerOrigin[];
extern const char kTellerToken[];
extern const char kPageOrigin[];
extern const char kPageToken[];

// One connection to the service.
class Conn {
 public:
  virtual ~Conn() = default;
  virtual void SendText(const QByteArray& text) = 0;
  // The next message from the service; false when none came in time or
  // the connection ended.
  virtual bool Next(QJsonObject* message, int timeoutMs) = 0;
  // True once the service has ended the connection (waits up to timeoutMs).
  virtual bool Closed(int timeoutMs) = 0;

  void Send(const QJsonObject& request);
  // Sends {id, fn, args} and returns the reply of that id (replies to
  // others that come first are kept for Reply()); an empty object after
  // timeoutMs.
  QJsonObject Call(const QString& fn, const QJsonObject& args = {}, int timeoutMs = 20000);
  // The reply to id (already received or still to come).
  QJsonObject Reply(const QJsonValue& id, int timeoutMs = 20000);
  int nextId = 1;

 private:
  std::deque<QJsonObject> stash_;
};

class UnixConn : public Conn {
 public:
  explicit UnixConn(const std::string& path);
  ~UnixConn() override;
  bool ok() const { return fd_ >= 0; }
  void SendText(const QByteArray& text) override;
  bool Next(QJsonObject* message, int timeoutMs) override;
  bool Closed(int timeoutMs) override;

 private:
  int fd_ = -1;
  QByteArray buffer_;
};

class WsConn : public Conn {
 public:
  explicit WsConn(const QString& origin);
  // Opens ws://127.0.0.1:port/ (or host); false when refused.
  bool Open(int port, const QString& host = "127.0.0.1", int timeoutMs = 5000);
  // Opens and presents the token with hello; false unless it is accepted.
  bool OpenWithToken(int port, const QString& token);
  void SendText(const QByteArray& text) override;
  bool Next(QJsonObject* message, int timeoutMs) override;
  bool Closed(int timeoutMs) override;
  int closeCode() const { return ws_.closeCode(); }
  QWebSocket& socket() { return ws_; }

 private:
  bool Wait(const std::function<bool()>& done, int timeoutMs);
  QWebSocket ws_;
  std::deque<QString> inbox_;
  bool closed_ = false;
};

// What a test changes in the service's configuration.
struct ServiceOptions {
  bool hid = true;  // the link: USB, else the terminal's serial port
  int port = 0;     // 0: any free one
  int maxMessage = 256 * 1024;
  int queue = 64;
  double rate = 100000, burst = 100000;
  std::string unixGroup;  // empty: the user's own socket
};

class TlxdTest : public CommandTest {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Starts tlxd and waits until it listens; false when it did not come up.
  bool StartService(const ServiceOptions& options = {});
  // SIGTERM, then waits for it to end; its exit status.
  int StopService();
  int port() const { return port_; }
  std::string socketPath() const { return socketPath_; }
  // What tlxd wrote to its log so far.
  std::string ServiceLog();

  std::unique_ptr<UnixConn> ConnectUnix();
  // A WebSocket of the teller's origin (every function allowed), past hello.
  std::unique_ptr<WsConn> ConnectTeller();
  // The connection of the transport under test: Unix socket or WebSocket.
  std::unique_ptr<Conn> Connect(bool webSocket);

  // Scripted customer answering in 50 ms; PIN delay pinMs.
  void QuickCustomer(int pinMs = 50);

  ServiceOptions options;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string socketPath_;
};

// The code of a reply (-1000 when it has none).
int Code(const QJsonObject& reply);
QJsonObject Outputs(const QJsonObject& reply);
std::string Dump(const QJsonObject& o);

}  // namespace tlxtest

#endif
