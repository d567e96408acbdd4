#include "UnixFront.h"

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "Log.h"

namespace tlxd {

UnixFront::UnixFront(Dispatcher& dispatcher, const Config& config, const std::string& privateDir)
    : dispatcher_(dispatcher), config_(config), privateDir_(privateDir) {
  connect(&server_, &QLocalServer::newConnection, this, [this] { OnConnection(); });
}

UnixFront::~UnixFront() {
  CloseAll();
  StopListening();
}

bool UnixFront::Listen(QString* error) {
  path_ = QString::fromStdString(config_.unixSocket);
  if (path_.isEmpty()) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || runtime[0] != '/') {
      *error = "XDG_RUNTIME_DIR is not set: name the socket with unix_socket";
      return false;
    }
    path_ = QString::fromLocal8Bit(runtime) + "/tlxd.sock";
  }
  // A socket that answers belongs to a running service; one that does not is
  // left over and replaced.
  QLocalSocket probe;
  probe.connectToServer(path_);
  if (probe.waitForConnected(500)) {
    *error = path_ + ": another tlxd is listening there";
    return false;
  }
  QLocalServer::removeServer(path_);
  gid_t gid = static_cast<gid_t>(-1);
  if (!config_.unixGroup.empty()) {
    const struct group* g = getgrnam(config_.unixGroup.c_str());
    if (g == nullptr) {
      *error = QString("unix_group: no group %1").arg(QString::fromStdString(config_.unixGroup));
      return false;
    }
    gid = g->gr_gid;
  }
  // The file is made with its final mode: no moment in which others could
  // connect.
  const mode_t old = umask(gid == static_cast<gid_t>(-1) ? 0177 : 0117);
  const bool ok = server_.listen(path_);
  umask(old);
  if (!ok) {
    *error = path_ + ": " + server_.errorString();
    return false;
  }
  const QByteArray file = QFile::encodeName(path_);
  if (gid != static_cast<gid_t>(-1) && chown(file.constData(), static_cast<uid_t>(-1), gid) != 0) {
    *error =
        path_ + ": cannot give the socket to group " + QString::fromStdString(config_.unixGroup);
    server_.close();
    return false;
  }
  return true;
}

void UnixFront::StopListening() {
  if (server_.isListening()) server_.close();
}

void UnixFront::CloseAll() {
  while (!connections_.empty()) {
    QLocalSocket* s = connections_.begin()->first;
    s->disconnect(this);
    dispatcher_.RemoveClient(connections_.begin()->second.client.get());
    connections_.erase(connections_.begin());
    s->flush();
    s->disconnectFromServer();
    s->deleteLater();
  }
}

void UnixFront::OnConnection() {
  while (QLocalSocket* s = server_.nextPendingConnection()) {
    struct ucred cred {};
    socklen_t len = sizeof cred;
    const bool known = getsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                                  &cred, &len) == 0;
    Caller caller;
    caller.webSocket = false;
    caller.allowPlainPin = caller.allowKeys = true;
    // Only the user's own programs name files by path (read as this user)
    // and find the signature's files in a directory of this user.
    caller.filePaths = known && cred.uid == getuid();
    if (caller.filePaths) {
      caller.clientDir = privateDir_ + "/client-" + std::to_string(nextDir_++);
      QDir().mkpath(QString::fromStdString(caller.clientDir));
    }
    Connection c;
    c.client = std::make_unique<UnixClient>(s, caller, config_.rate, config_.burst,
                                            known ? cred.uid : static_cast<uid_t>(-1));
    UnixClient* client = c.client.get();
    connections_.emplace(s, std::move(c));
    dispatcher_.AddClient(client);
    connect(s, &QLocalSocket::readyRead, this, [this, s] { OnReadable(s); });
    connect(
        s, &QLocalSocket::disconnected, this, [this, s] { OnGone(s); }, Qt::QueuedConnection);
    if (s->bytesAvailable() > 0) OnReadable(s);
  }
}

void UnixFront::OnReadable(QLocalSocket* s) {
  auto it = connections_.find(s);
  if (it == connections_.end()) return;
  Connection& c = it->second;
  c.buffer += s->readAll();
  int start = 0;
  for (;;) {
    const int nl = c.buffer.indexOf('\n', start);
    if (nl < 0) break;
    if (nl - start > config_.maxMessage) {
      dispatcher_.Oversize(c.client.get());
      c.buffer.clear();
      return;
    }
    const QByteArray line = c.buffer.mid(start, nl - start).trimmed();
    start = nl + 1;
    if (!line.isEmpty()) dispatcher_.Handle(c.client.get(), line);
    if (s->state() != QLocalSocket::ConnectedState) return;
  }
  c.buffer.remove(0, start);
  if (c.buffer.size() > config_.maxMessage) {
    dispatcher_.Oversize(c.client.get());
    c.buffer.clear();
  }
}

void UnixFront::OnGone(QLocalSocket* s) {
  auto it = connections_.find(s);
  if (it == connections_.end()) return;
  dispatcher_.RemoveClient(it->second.client.get());
  connections_.erase(it);
  s->deleteLater();
}

}  // namespace tlxd
