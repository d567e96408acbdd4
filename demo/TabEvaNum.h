// "评价和数字键盘": the satisfaction evaluator and the number pad. The
// blocking call runs on the page's worker; "取消" ends a waiting call.
#ifndef TABEVANUM_H
#define TABEVANUM_H

#include "MainWindowPxy.h"

#include <QDialog>
#include <QString>
#include <mutex>

namespace Ui {
class TabEvaNum;
}

class MainDialog;
class TestThread;

extern TestThread* g_pThread;

class TabEvaNum : public QDialog, public MainWindowPxy {
  Q_OBJECT

 public:
  explicit TabEvaNum(MainDialog* parent);
  ~TabEvaNum() override;

  TLX_SDK* sdk() const { return m_pSdk; }
  TestThread* worker() const { return m_thread; }

  // Worker side: leaves the result line in infoText and signals it.
  void PostResult(const QString& line);

  // Cancels a call the worker is making and waits until it has returned.
  // Safe to call when nothing runs.
  void StopWorker();

 signals:
  void sigInfo();

 private slots:
  void on_BtnStartEva_clicked();
  void on_BtnInputPh_clicked();
  void on_BtnInputAmount_clicked();
  void slotLog();
  void on_BtnStartEva_2_clicked();

 private:
  bool WorkerBusy() const;
  // Common start of the number pad requests.
  void StartKeyboard(int task);

  Ui::TabEvaNum* ui;
  TestThread* m_thread;
  std::mutex m_infoLock;  // infoText is written by the worker, read by slotLog
  QString infoText;
};

#endif
