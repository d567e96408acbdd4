// The service's core: authenticates clients, checks their requests, keeps
// the queue in arrival order and hands one call at a time to the worker;
// cancels by request id and when a client goes away.
#ifndef TLXD_DISPATCHER_H
#define TLXD_DISPATCHER_H

#include <QJsonValue>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "Client.h"
#include "Config.h"
#include "Worker.h"

namespace tlxd {

class Dispatcher : public QObject {
 public:
  Dispatcher(const Config& config, const std::string& privateDir);
  ~Dispatcher() override;

  void AddClient(Client* client);
  // The client is gone: its running call is cancelled (the library still
  // sends the command's closing step), its queued ones are dropped.
  void RemoveClient(Client* client);
  // One request (JSON text) of the client.
  void Handle(Client* client, const QByteArray& text);
  // A message that broke a limit: an error reply, then the connection ends.
  void Oversize(Client* client);

  // Refuses what is queued, cancels the running call and calls done once it
  // has ended (at most after a few seconds).
  void Shutdown(std::function<void()> done);
  bool Idle() const { return !running_; }

 private:
  struct Job {
    int client = 0;
    QJsonValue id;
    QString idKey;
    QString fn;
    std::function<Outcome()> run;
    std::string callDir;
    std::chrono::steady_clock::time_point queued;
  };

  void Reply(Client* client, const QJsonValue& id, int code, const QString& detail = {},
             const QJsonObject& outputs = {});
  void Status(Client* client, const QJsonValue& id);
  void Cancel(Client* client, const QJsonValue& id, const QJsonObject& args);
  void CancelRunning();
  void Pump();
  void Finished(Outcome outcome);
  std::string NewCallDir();
  Client* Find(int id) const;

  Config config_;
  Link link_;
  std::string privateDir_;
  std::map<int, Client*> clients_;
  std::map<int, std::set<QString>> pending_;  // request ids in use per client
  std::deque<Job> queue_;
  std::unique_ptr<Job> running_;
  bool cancelling_ = false;
  bool stopping_ = false;
  QTimer cancelRetry_;
  // The worker says a call has ended through this eventfd (a plain file
  // descriptor: the hand-over is seen by the thread sanitizer as well).
  // Closed after the worker has ended (members go in reverse order).
  struct EventFd {
    int fd = -1;
    ~EventFd();
  } endedFd_;
  std::unique_ptr<QSocketNotifier> ended_;
  std::function<void()> stopped_;
  QString model_;
  int nextClient_ = 1;
  unsigned long nextCall_ = 1;
  Worker worker_;
};

}  // namespace tlxd

#endif
