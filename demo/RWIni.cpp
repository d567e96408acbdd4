#include "RWIni.h"

#include <QSettings>

void RWIni::save(const QString& file, const QString& group, const QString& key,
                 const QString& value) {
  QSettings settings(file, QSettings::IniFormat);
  settings.beginGroup(group);
  settings.setValue(key, value);
  settings.endGroup();
}

void RWIni::save(const QString& file, const QString& group, const QString& key, int value) {
  QSettings settings(file, QSettings::IniFormat);
  settings.beginGroup(group);
  settings.setValue(key, value);
  settings.endGroup();
}

int RWIni::load(const QString& file, const QString& group, const QString& key, int defaultValue) {
  QSettings settings(file, QSettings::IniFormat);
  settings.beginGroup(group);
  const int value = settings.value(key, defaultValue).toInt();
  settings.endGroup();
  return value;
}

QString RWIni::load(const QString& file, const QString& group, const QString& key,
                    const QString& defaultValue) {
  QSettings settings(file, QSettings::IniFormat);
  settings.beginGroup(group);
  const QString value = settings.value(key, defaultValue).toString();
  settings.endGroup();
  return value;
}
