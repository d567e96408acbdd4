#include "RunDirectory.h"

#include <QDir>
#include <QFile>

RunDirectory::RunDirectory() : m_previous(QDir::currentPath()) {
  if (!m_dir.isValid()) return;
  const QString library = QDir(m_previous).absoluteFilePath(QStringLiteral("libtlxdev.so"));
  if (!QFile::exists(library)) return;
  if (!QFile::link(library, m_dir.filePath(QStringLiteral("libtlxdev.so")))) return;
  m_valid = QDir::setCurrent(m_dir.path());
}

RunDirectory::~RunDirectory() { QDir::setCurrent(m_previous); }

bool RunDirectory::write(const QString& name, const QByteArray& bytes) const {
  QFile file(m_dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size();
}

bool RunDirectory::remove(const QString& name) const { return QFile::remove(m_dir.filePath(name)); }
