// The loop-test tool's window: link parameters, test selection, loop
// parameters, start and stop, and the status view with the pass counts.
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>

#include <atomic>
#include <mutex>

class QCloseEvent;
class TestThread;
struct TestParams;
class Ui_MainWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Called by the worker from its own thread: stores the status text and
  // announces it with sigInfo(). While an announcement is still waiting
  // for the GUI thread no second one is queued; the view shows the latest
  // text when it runs.
  virtual void setInfoText(const QString& text);
  QString currentInfoText() const;

  // Ends a running test: interruption, cancel of the waiting command, then
  // wait until the worker has finished. Does nothing while idle.
  void stopWorker();

 signals:
  void sigInfo();

 private slots:
  void on_pushButton_clicked();
  void on_EditCom_2_textChanged(const QString& text);
  void slotLog();
  void on_pushButton_2_clicked();

 protected:
  // Shows a modal warning box titled "提示" with a single Yes button.
  // Tests override it to see the text without a blocking box.
  virtual void showWarning(const QString& text);
  void closeEvent(QCloseEvent* event) override;

 private:
  bool workerBusy() const;
  // After a run: names the failure log in the status bar when calls failed.
  void showFailureNote();
  // Reads the form into params; false (after the warning) when the
  // parameters cannot start a run.
  bool fillParams(TestParams& params);

  Ui_MainWindow* ui;
  QString infoText;
  mutable std::mutex m_infoLock;           // guards infoText across threads
  std::atomic<bool> m_infoPending{false};  // a sigInfo() is on its way
  TestThread* m_worker;
};

#endif
