#include "Dispatcher.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "Codes.h"
#include "Log.h"
#include "tlxdev.h"

namespace tlxd {

namespace {

// Ids are numbers or strings; the key tells 1 from "1".
bool IdKey(const QJsonValue& id, QString* key) {
  if (id.isDouble()) {
    *key = "n" + QString::number(id.toDouble(), 'g', 17);
    return true;
  }
  if (id.isString() && id.toString().size() <= 256) {
    *key = "s" + id.toString();
    return true;
  }
  return false;
}

// Compares without stopping at the first difference.
bool SameToken(const QString& given, const QString& expected) {
  const QByteArray a = given.toUtf8(), b = expected.toUtf8();
  unsigned diff = a.size() == b.size() ? 0 : 1;
  for (int i = 0; i < a.size() && i < b.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0 && !expected.isEmpty();
}

qint64 MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
      .count();
}

}  // namespace

Dispatcher::Dispatcher(const Config& config, const std::string& privateDir)
    : config_(config), privateDir_(privateDir) {
  link_ = Link{config.linkPort, config.linkBp, config.linkBaud};
  // A cancel that came before the library started the command finds none
  // running (-7) and is not kept: it is sent again until it lands or the
  // command has ended.
  cancelRetry_.setInterval(10);
  connect(&cancelRetry_, &QTimer::timeout, this, [this] {
    if (!running_ || TLX_CancelRead(link_.port, link_.bp, link_.baud) == TLX_OK)
      cancelRetry_.stop();
  });
  endedFd_.fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  ended_ = std::make_unique<QSocketNotifier>(endedFd_.fd, QSocketNotifier::Read);
  connect(ended_.get(), &QSocketNotifier::activated, this, [this] {
    uint64_t n = 0;
    if (read(endedFd_.fd, &n, sizeof n) == sizeof n && running_) Finished(worker_.TakeOutcome());
  });
}

Dispatcher::~Dispatcher() = default;

Dispatcher::EventFd::~EventFd() {
  if (fd >= 0) close(fd);
}

Client* Dispatcher::Find(int id) const {
  const auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : it->second;
}

void Dispatcher::AddClient(Client* client) {
  client->id = nextClient_++;
  clients_[client->id] = client;
  Log(QString("client %1 connected (%2)").arg(client->id).arg(client->Describe()));
}

void Dispatcher::RemoveClient(Client* client) {
  if (clients_.erase(client->id) == 0) return;
  int dropped = 0;
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (it->client == client->id) {
      QDir(QString::fromStdString(it->callDir)).removeRecursively();
      it = queue_.erase(it);
      ++dropped;
    } else {
      ++it;
    }
  }
  pending_.erase(client->id);
  const bool running = running_ && running_->client == client->id;
  Log(QString("client %1 gone; %2 queued dropped%3")
          .arg(client->id)
          .arg(dropped)
          .arg(running ? QString("; %1 cancelled").arg(running_->fn) : QString()));
  if (running) CancelRunning();
  if (!client->caller().clientDir.empty())
    QDir(QString::fromStdString(client->caller().clientDir)).removeRecursively();
}

void Dispatcher::Reply(Client* client, const QJsonValue& id, int code, const QString& detail,
                       const QJsonObject& outputs) {
  QJsonObject r;
  r["id"] = id;
  r["code"] = code;
  r["name"] = CodeName(code);
  r["text"] = detail.isEmpty() ? CodeText(code) : CodeText(code) + ": " + detail;
  if (!outputs.isEmpty()) r["outputs"] = outputs;
  client->Send(r);
}

void Dispatcher::Oversize(Client* client) {
  Reply(client, QJsonValue(), kErrSize, QString("the limit is %1 bytes").arg(config_.maxMessage));
  Log(QString("client %1 sent a message over the limit; closed").arg(client->id));
  client->Close("message too big", false);
}

void Dispatcher::Handle(Client* client, const QByteArray& text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) {
    Reply(client, QJsonValue(), kErrRequest,
          error.error != QJsonParseError::NoError
              ? QString("not JSON (%1 at offset %2)").arg(error.errorString()).arg(error.offset)
              : QString("not a JSON object"));
    return;
  }
  const QJsonObject request = doc.object();
  const QJsonValue id = request.value("id");
  QString key;
  if (!IdKey(id, &key)) {
    Reply(client, QJsonValue(), kErrRequest, "the id must be a number or a string");
    return;
  }
  const QJsonValue fnValue = request.value("fn");
  const QJsonValue argsValue = request.value("args");
  if (!fnValue.isString() || !(argsValue.isUndefined() || argsValue.isObject())) {
    Reply(client, id, kErrRequest, "a request is {\"id\", \"fn\", \"args\": {...}}");
    return;
  }
  const QString fn = fnValue.toString();
  const QJsonObject args = argsValue.toObject();

  if (!client->authenticated()) {
    if (fn == "hello" && SameToken(args.value("token").toString(), client->token())) {
      client->SetAuthenticated();
      Log(QString("client %1 authenticated").arg(client->id));
    } else {
      Reply(client, id, kErrAuth, "the first message is hello with the origin's token");
      Log(QString("client %1 refused: token missing or wrong").arg(client->id));
      client->Close("token missing or wrong", true);
      return;
    }
  }
  if (!client->rate().Take()) {
    Reply(client, id, kErrRate);
    return;
  }
  if (fn == "hello") {
    QJsonObject o;
    o["service"] = "tlxd";
    o["version"] = TLX_VERSION_STRING;
    o["functions"] = QJsonArray::fromStringList(FunctionNames());
    Reply(client, id, TLX_OK, {}, o);
    return;
  }
  if (fn == "status") {
    Status(client, id);
    return;
  }
  if (fn == "cancel" || fn == "TLX_CancelRead") {
    Cancel(client, id, args);
    return;
  }
  if (stopping_) {
    Reply(client, id, kErrShutdown);
    return;
  }
  if (pending_[client->id].count(key) != 0) {
    Reply(client, id, kErrDuplicate);
    return;
  }
  if (static_cast<int>(queue_.size()) >= config_.queue) {
    Reply(client, id, kErrQueueFull, QString("%1 waiting").arg(queue_.size()));
    return;
  }
  const std::string callDir = NewCallDir();
  Prepared p = Prepare(fn, args, client->caller(), link_, callDir);
  if (!p.run) {
    QDir(QString::fromStdString(callDir)).removeRecursively();
    Reply(client, id, p.code, p.text);
    if (p.code == kErrForbidden)
      Log(QString("client %1 refused %2: not allowed").arg(client->id).arg(fn));
    return;
  }
  pending_[client->id].insert(key);
  queue_.push_back(
      Job{client->id, id, key, fn, std::move(p.run), callDir, std::chrono::steady_clock::now()});
  Pump();
}

// The directory is made by the call that stores a file in it.
std::string Dispatcher::NewCallDir() {
  return privateDir_ + "/call-" + std::to_string(nextCall_++);
}

void Dispatcher::Status(Client* client, const QJsonValue& id) {
  QJsonObject link;
  link["port"] = link_.port;
  link["type"] = link_.port == 0 ? "usb" : "serial";
  link["bp"] = link_.bp ? QJsonValue(QString(QChar(link_.bp))) : QJsonValue();
  link["baud"] = link_.baud;
  int web = 0, local = 0;
  for (const auto& c : clients_) (c.second->caller().webSocket ? web : local)++;
  QJsonObject clients;
  clients["websocket"] = web;
  clients["unix"] = local;
  QJsonObject o;
  o["link"] = link;
  o["model"] = model_.isEmpty() ? QJsonValue() : QJsonValue(model_);
  o["queue"] = static_cast<int>(queue_.size());
  o["queueLimit"] = config_.queue;
  o["running"] = running_ ? QJsonValue(running_->fn) : QJsonValue();
  o["clients"] = clients;
  Reply(client, id, TLX_OK, {}, o);
}

void Dispatcher::Cancel(Client* client, const QJsonValue& id, const QJsonObject& args) {
  QString target;
  if (!IdKey(args.value("request"), &target)) {
    Reply(client, id, kErrArgument, "request: the id of a request of this client");
    return;
  }
  if (running_ && running_->client == client->id && running_->idKey == target) {
    CancelRunning();
    Reply(client, id, TLX_OK);
    return;
  }
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->client == client->id && it->idKey == target) {
      Job job = std::move(*it);
      queue_.erase(it);
      QDir(QString::fromStdString(job.callDir)).removeRecursively();
      pending_[client->id].erase(job.idKey);
      Reply(client, job.id, TLX_ERR_CANCEL, "cancelled before it ran");
      Reply(client, id, TLX_OK);
      return;
    }
  }
  // As TLX_CancelRead with no command running.
  Reply(client, id, TLX_ERR_REPLY, "no such request waiting or running");
}

void Dispatcher::CancelRunning() {
  if (!running_ || cancelling_) return;
  cancelling_ = true;
  worker_.CancelBeforeStart();
  if (TLX_CancelRead(link_.port, link_.bp, link_.baud) != TLX_OK) cancelRetry_.start();
}

void Dispatcher::Pump() {
  if (running_ || queue_.empty()) return;
  running_ = std::make_unique<Job>(std::move(queue_.front()));
  queue_.pop_front();
  cancelling_ = false;
  auto run = std::move(running_->run);
  worker_.Run(std::move(run), [this] {
    const uint64_t one = 1;
    if (write(endedFd_.fd, &one, sizeof one) != sizeof one) {
      // An eventfd write fails only on overflow, which one call at a time
      // cannot reach.
    }
  });
}

void Dispatcher::Finished(Outcome outcome) {
  cancelRetry_.stop();
  std::unique_ptr<Job> job = std::move(running_);
  QDir(QString::fromStdString(job->callDir)).removeRecursively();
  if (job->fn == "TLX_CheckOnline" && outcome.code == TLX_OK) {
    const QJsonValue model = outcome.outputs.value("model");
    if (model.isString()) model_ = model.toString();
  }
  Client* client = Find(job->client);
  Log(QString("client %1 %2 -> %3 %4 (%5 ms)%6")
          .arg(job->client)
          .arg(job->fn)
          .arg(outcome.code)
          .arg(CodeName(outcome.code))
          .arg(MsSince(job->queued))
          .arg(client ? "" : "; client gone"));
  if (client) {
    pending_[client->id].erase(job->idKey);
    if (stopping_ && outcome.code == TLX_ERR_CANCEL)
      Reply(client, job->id, kErrShutdown, "the command was cancelled");
    else
      Reply(client, job->id, outcome.code, {}, outcome.outputs);
  }
  if (stopping_) {
    if (stopped_) {
      auto done = std::move(stopped_);
      stopped_ = nullptr;
      done();
    }
    return;
  }
  Pump();
}

void Dispatcher::Shutdown(std::function<void()> done) {
  stopping_ = true;
  while (!queue_.empty()) {
    Job job = std::move(queue_.front());
    queue_.pop_front();
    QDir(QString::fromStdString(job.callDir)).removeRecursively();
    if (Client* c = Find(job.client)) Reply(c, job.id, kErrShutdown);
  }
  if (!running_) {
    done();
    return;
  }
  stopped_ = std::move(done);
  CancelRunning();
  // A call that does not end (a transfer between cancel points) is not
  // waited for long.
  QTimer::singleShot(3000, this, [this] {
    if (stopped_) {
      Log("the running command did not end in time");
      auto done = std::move(stopped_);
      stopped_ = nullptr;
      done();
    }
  });
}

}  // namespace tlxd
