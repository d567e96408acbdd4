#include "MainWindowPxy.h"

#include "MainDialog.h"
#include "TLX_SDK.h"

QString MainWindowPxy::ResultLine(int code, const QString& success, const QString& failure) {
  return code == 0 ? success : failure + QString::number(code);
}

bool MainWindowPxy::CheckBound() {
  if (m_pSdk && m_pSdk->IsBound()) return true;
  m_pMainDlg->Log(QStringLiteral(">>>调用失败：动态库未加载(./libtlxdev.so)"));
  return false;
}

bool MainWindowPxy::RunCall(const LibraryCall& call, const std::function<QString()>& success,
                            const QString& failure) {
  if (!CheckBound()) return false;
  const int code = call(m_pMainDlg->getLink());
  const QString line = ResultLine(code, code == 0 ? success() : QString(), failure);
  if (!line.isEmpty()) m_pMainDlg->Log(line);
  return code == 0;
}

bool MainWindowPxy::RunCall(const LibraryCall& call, const QString& success,
                            const QString& failure) {
  return RunCall(
      call, [&success] { return success; }, failure);
}
