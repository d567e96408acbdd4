#include "LinkSettings.h"

#include <QByteArray>

QString PortLabel(int port) {
  if (port == 0) return QStringLiteral("(HID)");
  // Widened: the lowest int has no int predecessor.
  return QStringLiteral("(ttyS%1)").arg(qint64(port) - 1);
}

char ChannelFromText(const QString& text) {
  if (text == QStringLiteral("无")) return 0;
  const QByteArray bytes = text.toLocal8Bit();
  return bytes.isEmpty() ? 0 : bytes.at(0);
}

int ChannelIndex(const QString& letter) {
  static const char kLetters[] = "ABCK";
  const QString upper = letter.toUpper();
  if (upper.size() != 1) return 0;
  for (int i = 0; kLetters[i] != '\0'; ++i) {
    if (upper.at(0) == QLatin1Char(kLetters[i])) return i + 1;
  }
  return 0;
}
