#include "UnixClient.h"

#include <QJsonDocument>

namespace tlxd {

void UnixClient::Send(const QJsonObject& reply) {
  socket_->write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
}

void UnixClient::Close(const QString&, bool) { socket_->disconnectFromServer(); }

}  // namespace tlxd
