// A private working directory for one test program: the tool binds
// "./libtlxdev.so" and reads "info.txt" relative to it, and test programs
// running side by side must not share those files.
#ifndef RUNDIRECTORY_H
#define RUNDIRECTORY_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class RunDirectory {
 public:
  // Links the libtlxdev.so of the starting directory into a fresh temporary
  // directory and makes that the working directory.
  RunDirectory();
  ~RunDirectory();
  RunDirectory(const RunDirectory&) = delete;
  RunDirectory& operator=(const RunDirectory&) = delete;

  bool isValid() const { return m_valid; }
  QString path() const { return m_dir.path(); }
  QString filePath(const QString& name) const { return m_dir.filePath(name); }
  // Writes name in the directory with exactly these bytes.
  bool write(const QString& name, const QByteArray& bytes) const;
  bool remove(const QString& name) const;

 private:
  QString m_previous;
  QTemporaryDir m_dir;
  bool m_valid = false;
};

#endif
