// Small access layer for ini files: each call opens its own QSettings,
// enters the group, does one read or write and lets the settings object
// write back when it goes out of scope.
#ifndef RWINI_H
#define RWINI_H

#include <QString>

class RWIni {
 public:
  static void save(const QString& file, const QString& group, const QString& key,
                   const QString& value);
  static void save(const QString& file, const QString& group, const QString& key, int value);
  static int load(const QString& file, const QString& group, const QString& key, int defaultValue);
  static QString load(const QString& file, const QString& group, const QString& key,
                      const QString& defaultValue);
};

#endif
