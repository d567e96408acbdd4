#include "WebSocketClient.h"

#include <QJsonDocument>

namespace tlxd {

void WebSocketClient::Send(const QJsonObject& reply) {
  socket_->sendTextMessage(QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact)));
}

void WebSocketClient::Close(const QString& reason, bool policy) {
  socket_->close(policy ? QWebSocketProtocol::CloseCodePolicyViolated
                        : QWebSocketProtocol::CloseCodeTooMuchData,
                 reason);
}

}  // namespace tlxd
