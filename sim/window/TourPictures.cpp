#include "TourPictures.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

TourPictures::TourPictures(QWidget* window, const QString& dir, QObject* parent)
    : QObject(parent), m_window(window), m_dir(QDir(dir).absolutePath()) {
  QDir().mkpath(m_dir);
}

QString TourPictures::kindName(tlxsim::PromptKind kind) {
  switch (kind) {
    case tlxsim::PromptKind::Info:
      return QStringLiteral("info");
    case tlxsim::PromptKind::Evaluator:
      return QStringLiteral("evaluator");
    case tlxsim::PromptKind::Amount:
      return QStringLiteral("amount");
    case tlxsim::PromptKind::Phone:
      return QStringLiteral("phone");
    case tlxsim::PromptKind::Pin:
      return QStringLiteral("pin");
    case tlxsim::PromptKind::PinBlock:
      return QStringLiteral("pinblock");
    case tlxsim::PromptKind::Sign:
      return QStringLiteral("sign");
  }
  return QStringLiteral("prompt");
}

QString TourPictures::nextName(tlxsim::PromptKind kind) {
  ++m_count;
  QString stem;
  QFile step(m_dir + QStringLiteral("/tour-step.txt"));
  if (step.open(QIODevice::ReadOnly)) {
    // Only a plain step name becomes part of a file name.
    const QString s = QString::fromUtf8(step.readLine(64)).trimmed();
    if (QRegularExpression(QStringLiteral("^[0-9A-Za-z_-]{1,40}$")).match(s).hasMatch())
      stem = s + QStringLiteral("-terminal");
  }
  if (stem.isEmpty())
    stem =
        QStringLiteral("terminal-%1-%2").arg(m_count, 2, 10, QLatin1Char('0')).arg(kindName(kind));
  QString name = stem;
  for (int n = 2; m_used.contains(name); ++n) name = stem + QStringLiteral("-%1").arg(n);
  m_used.insert(name);
  return m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
}

void TourPictures::promptShown(const tlxsim::Prompt& prompt) {
  // A prompt that replaced one whose picture was still due: that one is
  // taken first, showing what it showed last.
  if (m_pending) take(m_pending);
  m_pending = prompt.id;
  m_kind = prompt.kind;
  const quint64 id = prompt.id;
  QTimer::singleShot(kDelayMs, this, [this, id] { take(id); });
}

void TourPictures::promptEnded(quint64 id) { take(id); }

void TourPictures::take(quint64 id) {
  if (id == 0 || id != m_pending) return;
  m_pending = 0;
  const QString file = nextName(m_kind);
  if (m_window->grab().save(file)) emit saved(file);
}
