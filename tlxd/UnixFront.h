// The Unix socket for local programs: the user's own (0600), or a group's
// (0660) when the configuration names one.
#ifndef TLXD_UNIXFRONT_H
#define TLXD_UNIXFRONT_H

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>

#include <map>
#include <memory>
#include <string>

#include "Config.h"
#include "Dispatcher.h"
#include "UnixClient.h"

namespace tlxd {

class UnixFront : public QObject {
 public:
  UnixFront(Dispatcher& dispatcher, const Config& config, const std::string& privateDir);
  ~UnixFront() override;
  bool Listen(QString* error);
  QString path() const { return path_; }
  // Stops listening and removes the socket file.
  void StopListening();
  // Ends every connection.
  void CloseAll();

 private:
  struct Connection {
    std::unique_ptr<UnixClient> client;
    QByteArray buffer;
  };
  void OnConnection();
  void OnReadable(QLocalSocket* socket);
  void OnGone(QLocalSocket* socket);

  Dispatcher& dispatcher_;
  const Config& config_;
  std::string privateDir_;
  QLocalServer server_;
  QString path_;
  int nextDir_ = 1;
  std::map<QLocalSocket*, Connection> connections_;
};

}  // namespace tlxd

#endif
