// Where the programs put the customer's signature (never a shared folder
// such as /tmp), and the buffer the loop tool reads the PIN into, wiped
// when it goes.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstring>
#include <new>

#include "PrivateFiles.h"

class TestPrivateFiles : public QObject {
  Q_OBJECT

 private slots:
  void runtimeFolderWhenPrivate();
  void workingFolderOtherwise();
  void secretBufferIsWipedWhenItGoes();

 private:
  QByteArray savedRuntime_ = qgetenv("XDG_RUNTIME_DIR");
  void restore() {
    if (savedRuntime_.isNull())
      qunsetenv("XDG_RUNTIME_DIR");
    else
      qputenv("XDG_RUNTIME_DIR", savedRuntime_);
  }
};

void TestPrivateFiles::runtimeFolderWhenPrivate() {
  QTemporaryDir runtime;
  QVERIFY(runtime.isValid());
  QVERIFY(chmod(QFile::encodeName(runtime.path()).constData(), 0700) == 0);
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  const QString dir = PrivateOutputDir();
  restore();
  QCOMPARE(dir, runtime.path() + QStringLiteral("/tlx"));
  struct stat st;
  QVERIFY(stat(QFile::encodeName(dir).constData(), &st) == 0);
  QCOMPARE(st.st_mode & 07777, 0700u);
  QCOMPARE(PrivateOutputPath(QStringLiteral("hw.png")).startsWith(QStringLiteral("/tmp/hw")),
           false);
}

void TestPrivateFiles::workingFolderOtherwise() {
  QTemporaryDir runtime;
  QVERIFY(runtime.isValid());
  // A runtime folder that others may enter is no private place.
  QVERIFY(chmod(QFile::encodeName(runtime.path()).constData(), 0755) == 0);
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  QCOMPARE(PrivateOutputDir(), QDir::currentPath());
  QVERIFY(!QFileInfo::exists(runtime.path() + QStringLiteral("/tlx")));
  qunsetenv("XDG_RUNTIME_DIR");
  QCOMPARE(PrivateOutputPath(QStringLiteral("hw.ini")),
           QDir::currentPath() + QStringLiteral("/hw.ini"));
  restore();
}

void TestPrivateFiles::secretBufferIsWipedWhenItGoes() {
  alignas(SecretBuffer<64>) unsigned char storage[sizeof(SecretBuffer<64>)];
  auto* pin = new (storage) SecretBuffer<64>;
  QCOMPARE(pin->size(), 64);
  std::memcpy(pin->data(), "482913", 7);
  pin->~SecretBuffer<64>();
  for (unsigned char b : storage) QCOMPARE(static_cast<int>(b), 0);
}

QTEST_GUILESS_MAIN(TestPrivateFiles)
#include "tst_PrivateFiles.moc"
