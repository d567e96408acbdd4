// A page's connection: one QWebSocket, text messages of JSON.
#ifndef TLXD_WEBSOCKETCLIENT_H
#define TLXD_WEBSOCKETCLIENT_H

#include <QWebSocket>

#include "Client.h"

namespace tlxd {

class WebSocketClient : public Client {
 public:
  WebSocketClient(QWebSocket* socket, const Caller& caller, const QString& token, double rate,
                  double burst, const QString& origin)
      : Client(caller, token, rate, burst), socket_(socket), origin_(origin) {}
  void Send(const QJsonObject& reply) override;
  void Close(const QString& reason, bool policy) override;
  QString Describe() const override { return "websocket, origin " + origin_; }

 private:
  QWebSocket* socket_;
  QString origin_;
};

}  // namespace tlxd

#endif
