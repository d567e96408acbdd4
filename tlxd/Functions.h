// The TLX_ functions as JSON calls: each request's arguments are checked
// and turned into a call (run later on the worker thread) that gives the
// result code and the outputs as JSON fields.
#ifndef TLXD_FUNCTIONS_H
#define TLXD_FUNCTIONS_H

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

namespace tlxd {

// The terminal link every call uses (from the configuration).
struct Link {
  int port = 0;
  char bp = 0;
  int baud = 9600;
};

// Who asks, and what that caller may do.
struct Caller {
  bool webSocket = true;  // false: the Unix socket
  bool allowPlainPin = false;
  bool allowKeys = false;
  // Unix socket only: files are named by path, and the signature's files
  // stay in clientDir (a caller of another user gets them in the message).
  bool filePaths = false;
  std::string clientDir;
};

struct Outcome {
  int code = 0;
  QJsonObject outputs;
};

struct Prepared {
  std::function<Outcome()> run;  // null when the request was refused
  int code = 0;                  // the refusal's code
  QString text;                  // and its text
};

// fn is the C name ("TLX_ReadPinDES"); callDir a private directory, not yet
// made, that the call may make and use for its files (the caller removes it
// afterwards).
Prepared Prepare(const QString& fn, const QJsonObject& args, const Caller& caller, const Link& link,
                 const std::string& callDir);

// Every function offered, by C name.
QStringList FunctionNames();

}  // namespace tlxd

#endif
