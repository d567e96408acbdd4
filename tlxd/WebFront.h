// The loopback port: WebSocket connections of the allowed origins and, when
// a web_root is configured, the pages in it over plain HTTP. Listens on
// 127.0.0.1 and ::1 only. An upgrade from an origin that is not allowed
// gets HTTP 403 before any WebSocket exists.
#ifndef TLXD_WEBFRONT_H
#define TLXD_WEBFRONT_H

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

#include <map>
#include <memory>

#include "Config.h"
#include "Dispatcher.h"
#include "WebSocketClient.h"

namespace tlxd {

class WebFront : public QObject {
 public:
  WebFront(Dispatcher& dispatcher, const Config& config);
  ~WebFront() override;
  bool Listen(QString* error);
  int port() const { return port_; }
  bool ipv6() const { return v6_.isListening(); }
  void StopListening();
  // Ends every WebSocket with "going away".
  void CloseAll();

 private:
  void OnConnection(QTcpServer* server);
  void OnRequestHead(QTcpSocket* socket);
  void OnWebSocket();
  void Respond(QTcpSocket* socket, int status, const char* reason, const QByteArray& type,
               const QByteArray& body, bool head = false);
  void ServeFile(QTcpSocket* socket, const QByteArray& path, bool head);

  Dispatcher& dispatcher_;
  const Config& config_;
  QTcpServer v4_, v6_;
  QWebSocketServer ws_;
  int port_ = 0;
  std::map<QWebSocket*, std::unique_ptr<WebSocketClient>> clients_;
};

}  // namespace tlxd

#endif
