#include "PrivateFiles.h"

#include <QDir>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>

namespace {

// A folder of this user's that nobody else may enter: owned by the user,
// not a symlink, no permission bits for group or others.
bool IsPrivateFolder(const QByteArray& path) {
  struct stat st;
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

}  // namespace

QString PrivateOutputDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) {
    const QByteArray dir = QByteArray(runtime) + "/tlx";
    if (::mkdir(dir.constData(), 0700) == 0 || IsPrivateFolder(dir))
      return QString::fromLocal8Bit(dir);
  }
  return QDir::currentPath();
}

QString PrivateOutputPath(const QString& name) {
  return PrivateOutputDir() + QLatin1Char('/') + name;
}

void WipeSecret(void* p, std::size_t n) { explicit_bzero(p, n); }
