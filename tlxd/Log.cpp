#include "Log.h"

#include <cstdio>

namespace tlxd {

void Log(const QString& line) {
  const QByteArray text = ("tlxd: " + line + "\n").toUtf8();
  std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
  std::fflush(stderr);
}

}  // namespace tlxd
