#include "WebFront.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include "Codes.h"
#include "Log.h"

namespace tlxd {

namespace {

const int kMaxHead = 16 * 1024;
const int kHeadTimeoutMs = 10000;

struct Head {
  QByteArray method, path;
  std::map<QByteArray, QByteArray> fields;  // names in lower case
};

bool ParseHead(const QByteArray& text, Head* head) {
  const QList<QByteArray> lines = text.split('\n');
  if (lines.isEmpty()) return false;
  const QList<QByteArray> first = lines[0].trimmed().split(' ');
  if (first.size() != 3 || !first[2].startsWith("HTTP/1.")) return false;
  head->method = first[0];
  head->path = first[1];
  for (int i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    if (line.isEmpty()) break;
    const int colon = line.indexOf(':');
    if (colon <= 0) return false;
    head->fields[line.left(colon).trimmed().toLower()] = line.mid(colon + 1).trimmed();
  }
  return true;
}

QByteArray ContentType(const QString& name) {
  const QString ext = QFileInfo(name).suffix().toLower();
  if (ext == "html") return "text/html; charset=utf-8";
  if (ext == "js") return "text/javascript; charset=utf-8";
  if (ext == "css") return "text/css; charset=utf-8";
  if (ext == "png") return "image/png";
  if (ext == "svg") return "image/svg+xml";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "pdf") return "application/pdf";
  return "application/octet-stream";
}

}  // namespace

WebFront::WebFront(Dispatcher& dispatcher, const Config& config)
    : dispatcher_(dispatcher),
      config_(config),
      ws_(QStringLiteral("tlxd"), QWebSocketServer::NonSecureMode) {
  connect(&v4_, &QTcpServer::newConnection, this, [this] { OnConnection(&v4_); });
  connect(&v6_, &QTcpServer::newConnection, this, [this] { OnConnection(&v6_); });
  connect(&ws_, &QWebSocketServer::newConnection, this, [this] { OnWebSocket(); });
  ws_.setHandshakeTimeout(kHeadTimeoutMs);
}

WebFront::~WebFront() {
  CloseAll();
  StopListening();
}

bool WebFront::Listen(QString* error) {
  if (!v4_.listen(QHostAddress::LocalHost, static_cast<quint16>(config_.port))) {
    *error = QString("127.0.0.1:%1: %2").arg(config_.port).arg(v4_.errorString());
    return false;
  }
  port_ = v4_.serverPort();
  // ::1 on the same port; a machine without IPv6 has 127.0.0.1 alone.
  if (!v6_.listen(QHostAddress::LocalHostIPv6, static_cast<quint16>(port_)))
    Log(QString("[::1]:%1 not available (%2); 127.0.0.1 only").arg(port_).arg(v6_.errorString()));
  return true;
}

void WebFront::StopListening() {
  v4_.close();
  v6_.close();
}

void WebFront::CloseAll() {
  while (!clients_.empty()) {
    QWebSocket* w = clients_.begin()->first;
    w->disconnect(this);
    dispatcher_.RemoveClient(clients_.begin()->second.get());
    clients_.erase(clients_.begin());
    w->close(QWebSocketProtocol::CloseCodeGoingAway, "service stopping");
    w->deleteLater();
  }
}

void WebFront::OnConnection(QTcpServer* server) {
  while (QTcpSocket* s = server->nextPendingConnection()) {
    connect(s, &QTcpSocket::readyRead, this, [this, s] { OnRequestHead(s); });
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    // A connection that never completes its request is not kept.
    QTimer::singleShot(kHeadTimeoutMs, s, [s] {
      if (s->property("tlxdHandled").isNull()) s->abort();
    });
  }
}

void WebFront::Respond(QTcpSocket* s, int status, const char* reason, const QByteArray& type,
                       const QByteArray& body, bool head) {
  s->setProperty("tlxdHandled", true);
  QByteArray r = "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\n";
  r += "Content-Type: " + type + "\r\n";
  r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
  r += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
  r += "Referrer-Policy: no-referrer\r\nX-Frame-Options: DENY\r\n";
  const QByteArray p = QByteArray::number(port_);
  r += "Content-Security-Policy: default-src 'self'; img-src 'self' data:; connect-src 'self' "
       "ws://127.0.0.1:" +
       p + " ws://[::1]:" + p + " ws://localhost:" + p + "; frame-ancestors 'none'\r\n";
  r += "Connection: close\r\n\r\n";
  if (!head) r += body;
  s->write(r);
  s->disconnectFromHost();
}

void WebFront::OnRequestHead(QTcpSocket* s) {
  if (!s->property("tlxdHandled").isNull()) return;
  const QByteArray seen = s->peek(kMaxHead + 1);
  const int end = seen.indexOf("\r\n\r\n");
  if (end < 0) {
    if (seen.size() > kMaxHead)
      Respond(s, 431, "Request Header Fields Too Large", "text/plain", "request head too large\n");
    return;
  }
  Head head;
  if (!ParseHead(seen.left(end), &head)) {
    Respond(s, 400, "Bad Request", "text/plain", "bad request\n");
    return;
  }
  // Only the loopback names of this port (a page of a rebound DNS name
  // carries its own host name here).
  const QByteArray p = QByteArray::number(port_);
  const QByteArray host = head.fields["host"];
  if (host != "127.0.0.1:" + p && host != "[::1]:" + p && host != "localhost:" + p) {
    Respond(s, 403, "Forbidden", "text/plain", "unknown host\n");
    Log("refused a request for another host name");
    return;
  }
  if (head.fields["upgrade"].toLower() == "websocket") {
    const QString origin = QString::fromLatin1(head.fields["origin"]);
    if (config_.RuleFor(origin.toStdString(), port_) == nullptr) {
      Respond(s, 403, "Forbidden", "text/plain", "origin not allowed\n");
      Log(QString("refused the origin %1").arg(origin.isEmpty() ? "(none)" : origin.left(200)));
      return;
    }
    s->setProperty("tlxdHandled", true);
    s->disconnect(this);
    disconnect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    ws_.handleConnection(s);
    return;
  }
  if (head.method != "GET" && head.method != "HEAD") {
    Respond(s, 405, "Method Not Allowed", "text/plain", "method not allowed\n");
    return;
  }
  ServeFile(s, head.path, head.method == "HEAD");
}

void WebFront::ServeFile(QTcpSocket* s, const QByteArray& target, bool head) {
  QByteArray path = target;
  const int query = path.indexOf('?');
  if (query >= 0) path.truncate(query);
  if (path == "/") path = "/index.html";
  static const QRegularExpression kName("^/[A-Za-z0-9_-][A-Za-z0-9._-]*$");
  if (config_.webRoot.empty() || !kName.match(QString::fromLatin1(path)).hasMatch()) {
    Respond(s, 404, "Not Found", "text/plain", "not found\n", head);
    return;
  }
  const QString root = QDir(QString::fromStdString(config_.webRoot)).canonicalPath();
  const QFileInfo info(root + QString::fromLatin1(path));
  // Only regular files that lie in the root itself.
  if (root.isEmpty() || !info.isFile() ||
      info.canonicalFilePath() != root + QString::fromLatin1(path)) {
    Respond(s, 404, "Not Found", "text/plain", "not found\n", head);
    return;
  }
  QFile f(info.filePath());
  if (!f.open(QIODevice::ReadOnly)) {
    Respond(s, 404, "Not Found", "text/plain", "not found\n", head);
    return;
  }
  Respond(s, 200, "OK", ContentType(info.fileName()), f.readAll(), head);
}

void WebFront::OnWebSocket() {
  while (QWebSocket* w = ws_.nextPendingConnection()) {
    const OriginRule* rule = config_.RuleFor(w->origin().toStdString(), port_);
    if (rule == nullptr) {  // checked before the upgrade; never expected here
      w->abort();
      w->deleteLater();
      continue;
    }
    Caller caller;
    caller.webSocket = true;
    caller.allowPlainPin = rule->allowPlainPin;
    caller.allowKeys = rule->allowKeys;
    w->setMaxAllowedIncomingMessageSize(static_cast<quint64>(config_.maxMessage));
    w->setMaxAllowedIncomingFrameSize(static_cast<quint64>(config_.maxMessage));
    auto client = std::make_unique<WebSocketClient>(w, caller, QString::fromStdString(rule->token),
                                                    config_.rate, config_.burst, w->origin());
    WebSocketClient* c = client.get();
    clients_.emplace(w, std::move(client));
    dispatcher_.AddClient(c);
    connect(w, &QWebSocket::textMessageReceived, this, [this, w, c](const QString& text) {
      if (clients_.count(w)) dispatcher_.Handle(c, text.toUtf8());
    });
    connect(w, &QWebSocket::binaryMessageReceived, this, [this, w, c](const QByteArray&) {
      if (clients_.count(w)) dispatcher_.Handle(c, "binary message");
    });
    connect(
        w, &QWebSocket::disconnected, this,
        [this, w] {
          auto it = clients_.find(w);
          if (it == clients_.end()) return;
          if (w->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
            Log(QString("client %1 sent a message over the limit; closed").arg(it->second->id));
          dispatcher_.RemoveClient(it->second.get());
          clients_.erase(it);
          w->deleteLater();
        },
        Qt::QueuedConnection);
  }
}

}  // namespace tlxd
