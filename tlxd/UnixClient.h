// A local program's connection on the Unix socket: one JSON object per
// line each way.
#ifndef TLXD_UNIXCLIENT_H
#define TLXD_UNIXCLIENT_H

#include <QLocalSocket>

#include "Client.h"

namespace tlxd {

class UnixClient : public Client {
 public:
  UnixClient(QLocalSocket* socket, const Caller& caller, double rate, double burst, uid_t peer)
      : Client(caller, QString(), rate, burst), socket_(socket), peer_(peer) {}
  void Send(const QJsonObject& reply) override;
  void Close(const QString& reason, bool policy) override;
  QString Describe() const override { return QString("unix socket, uid %1").arg(peer_); }

 private:
  QLocalSocket* socket_;
  uid_t peer_;
};

}  // namespace tlxd

#endif
