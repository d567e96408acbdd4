// One connection to the service (a page's WebSocket or a program's Unix
// socket connection), as the dispatcher sees it.
#ifndef TLXD_CLIENT_H
#define TLXD_CLIENT_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>

#include "Functions.h"

namespace tlxd {

// Requests a client may make: `burst` at once, `rate` a second after that.
class RateLimit {
 public:
  RateLimit(double rate, double burst) : rate_(rate), burst_(burst), tokens_(burst) {}
  bool Take() {
    const auto now = std::chrono::steady_clock::now();
    tokens_ =
        std::min(burst_, tokens_ + rate_ * std::chrono::duration<double>(now - last_).count());
    last_ = now;
    if (tokens_ < 1) return false;
    tokens_ -= 1;
    return true;
  }

 private:
  double rate_, burst_, tokens_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

class Client {
 public:
  Client(const Caller& caller, const QString& token, double rate, double burst)
      : caller_(caller), token_(token), rate_(rate, burst) {}
  virtual ~Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // One reply (a JSON object) to this client.
  virtual void Send(const QJsonObject& reply) = 0;
  // Ends the connection (after what was sent); reason for the peer.
  virtual void Close(const QString& reason, bool policy) = 0;
  // For the log: kind and origin, never anything the client sent.
  virtual QString Describe() const = 0;

  const Caller& caller() const { return caller_; }
  // The token its first message must carry; empty: none needed.
  const QString& token() const { return token_; }
  bool authenticated() const { return token_.isEmpty() || authenticated_; }
  void SetAuthenticated() { authenticated_ = true; }
  RateLimit& rate() { return rate_; }
  int id = 0;

 private:
  Caller caller_;
  QString token_;
  bool authenticated_ = false;
  RateLimit rate_;
};

}  // namespace tlxd

#endif
