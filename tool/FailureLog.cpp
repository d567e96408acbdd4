#include "FailureLog.h"

#include <QDateTime>

namespace {

constexpr int kLowestCap = 10;

QByteArray DroppedLine(int dropped, int cap) {
  return QStringLiteral("# %1 earlier failures dropped; this log keeps the latest %2\n")
      .arg(dropped)
      .arg(cap)
      .toUtf8();
}

}  // namespace

FailureLog::FailureLog(const QString& path) : m_path(path) {}

void FailureLog::setCap(int cap) { m_cap = cap < kLowestCap ? kLowestCap : cap; }

void FailureLog::begin() {
  end();
  m_lines.clear();
  m_failures = 0;
  m_stopped = 0;
  m_dropped = 0;
  QFile::remove(m_path);
}

void FailureLog::add(const QString& test, const char* function, int code, const char* text) {
  ++m_failures;
  append(test, function, code, QString::fromUtf8(text ? text : ""));
}

void FailureLog::addStopped(const QString& test, const char* function, int code, const char* text) {
  ++m_stopped;
  append(test, function, code, QStringLiteral("stopped: ") + QString::fromUtf8(text ? text : ""));
}

void FailureLog::append(const QString& test, const char* function, int code, const QString& text) {
  const QString line =
      QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
               test, QString::fromLatin1(function), QString::number(code), text);
  m_lines.push_back(line.toUtf8());
  if (int(m_lines.size()) > m_cap) {
    trim();
    return;
  }
  if (!openForAppend()) return;
  m_file.write(m_lines.back());
  m_file.flush();
}

void FailureLog::end() {
  if (m_file.isOpen()) m_file.close();
}

bool FailureLog::openForAppend() {
  if (m_file.isOpen()) return true;
  m_file.setFileName(m_path);
  return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void FailureLog::trim() {
  const int drop = int(m_lines.size()) - m_cap + m_cap / 10;
  m_lines.erase(m_lines.begin(), m_lines.begin() + drop);
  m_dropped += drop;
  end();
  m_file.setFileName(m_path);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  QByteArray all = DroppedLine(m_dropped, m_cap);
  for (const QByteArray& l : m_lines) all += l;
  m_file.write(all);
  m_file.flush();
}
