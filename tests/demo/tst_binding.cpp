// The run-time binding: all 22 entry points or none, one binding per
// instance, and the library path taken relative to the working directory.
#include "TLX_SDK.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

class TestBinding : public QObject {
  Q_OBJECT

 private slots:
  void missingExportLeavesUnboundAndClosed_data();
  void missingExportLeavesUnboundAndClosed();
  void secondInitRefusedAndKeepsBinding();
  void relativePathFromAnotherDirectoryFails();
  void unInitOnUnboundDoesNothing();
};

static QByteArray PartialPath(const char* missing) {
  return QByteArray(PARTIAL_DIR) + "/libmissing_" + missing + ".so";
}

static bool IsLoaded(const QByteArray& path) {
  void* handle = dlopen(path.constData(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

void TestBinding::missingExportLeavesUnboundAndClosed_data() {
  QTest::addColumn<QByteArray>("library");
  QTest::newRow("first missing") << PartialPath("TLX_GetVer");
  QTest::newRow("middle missing") << PartialPath("TLX_CancelRead");
  QTest::newRow("last missing") << PartialPath("TLX_GetFileList");
}

void TestBinding::missingExportLeavesUnboundAndClosed() {
  QFETCH(QByteArray, library);
  QVERIFY2(QFile::exists(QString::fromLocal8Bit(library)), library.constData());

  TLX_SDK sdk;
  QVERIFY(!sdk.Init(library.constData()));
  QVERIFY(!sdk.IsBound());
  QVERIFY(sdk.m_handle == nullptr);
  QVERIFY2(!IsLoaded(library), "the incomplete library stays loaded");

  // The same instance starts afresh with a complete library.
  QVERIFY(sdk.Init(RUN_DIR "/libtlxdev.so"));
  QVERIFY(sdk.IsBound());
  QVERIFY(sdk.pGetFileList != nullptr);
}

void TestBinding::secondInitRefusedAndKeepsBinding() {
  TLX_SDK sdk;
  QVERIFY(sdk.Init(RUN_DIR "/libtlxdev.so"));
  void* handle = sdk.m_handle;
  const TLX_SDK::FnGetVer getVer = sdk.pGetVer;
  const TLX_SDK::FnGetFileList getList = sdk.pGetFileList;

  QVERIFY(!sdk.Init(RUN_DIR "/libtlxdev.so"));
  QVERIFY(!sdk.Init(PartialPath("TLX_GetVer").constData()));
  QVERIFY(sdk.IsBound());
  QCOMPARE(sdk.m_handle, handle);
  QVERIFY(sdk.pGetVer == getVer);
  QVERIFY(sdk.pGetFileList == getList);

  sdk.UnInit();
  QVERIFY(!sdk.IsBound());
}

void TestBinding::relativePathFromAnotherDirectoryFails() {
  const QString original = QDir::currentPath();
  QTemporaryDir elsewhere;
  QVERIFY(elsewhere.isValid());
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  TLX_SDK away;
  const bool boundAway = away.Init("./libtlxdev.so");
  QVERIFY(QDir::setCurrent(QStringLiteral(RUN_DIR)));
  TLX_SDK here;
  const bool boundHere = here.Init("./libtlxdev.so");
  QDir::setCurrent(original);

  QVERIFY(!boundAway);
  QVERIFY(!away.IsBound());
  QVERIFY(boundHere);
}

void TestBinding::unInitOnUnboundDoesNothing() {
  TLX_SDK sdk;
  sdk.UnInit();
  QVERIFY(!sdk.IsBound());
  QVERIFY(!sdk.Init("/nonexistent/libtlxdev.so"));
  sdk.UnInit();
  QVERIFY(sdk.m_handle == nullptr);
}

QTEST_GUILESS_MAIN(TestBinding)
#include "tst_binding.moc"
