#include "PortValidator.h"

PortValidator::PortValidator(QObject* parent) : QIntValidator(LowestPort, HighestPort, parent) {}

QValidator::State PortValidator::validate(QString& input, int&) const {
  if (input.isEmpty()) return Intermediate;
  for (const QChar c : input) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
  }
  bool ok = false;
  const qlonglong value = input.toLongLong(&ok, 10);
  return ok && value >= bottom() && value <= top() ? Acceptable : Invalid;
}
