// The part every page shares: the main window it reports to and reads the
// link parameters from, the main window's library binding, and the way a
// page runs one library call and reports it.
#ifndef MAINWINDOWPXY_H
#define MAINWINDOWPXY_H

#include "LinkSettings.h"

#include <QString>

#include <functional>

class MainDialog;
class TLX_SDK;

class MainWindowPxy {
 public:
  MainWindowPxy(MainDialog* mainDialog, TLX_SDK* sdk) : m_pMainDlg(mainDialog), m_pSdk(sdk) {}

  // The line that reports a call's result: `success` when it returned 0,
  // otherwise `failure` followed by the code in decimal.
  static QString ResultLine(int code, const QString& success, const QString& failure);

 protected:
  using LibraryCall = std::function<int(const LinkSettings& link)>;

  // True when the library is bound. Otherwise logs why nothing is sent, so
  // that a page never calls through an unbound entry point.
  bool CheckBound();

  // One library call of a button, after its title line: nothing is called
  // while the library is unbound (CheckBound logs why); otherwise `call`
  // runs with the link parameters read now, and its ResultLine is logged,
  // the success text being made after the call (so that it can show what
  // the call wrote). An empty success text logs no line. True when the
  // call returned 0.
  bool RunCall(const LibraryCall& call, const std::function<QString()>& success,
               const QString& failure);
  bool RunCall(const LibraryCall& call, const QString& success, const QString& failure);

  MainDialog* m_pMainDlg;
  TLX_SDK* m_pSdk;
};

#endif
