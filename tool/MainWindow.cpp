#include "MainWindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>

#include <cstring>

#include "LinkSettings.h"
#include "TestParams.h"
#include "TestRecords.h"
#include "TestThread.h"
#include "ui_MainWindow.h"

namespace {

// Base-10 integer of a field; text that is not a number gives 0.
int FieldValue(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  return ok ? value : 0;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui_MainWindow), m_worker(new TestThread) {
  ui->setupUi(this);

  m_worker->window = this;
  if (!m_worker->sdk.Init(const_cast<char*>("./libtlxdev.so"))) {
    qDebug("load libtlxdev.so failed");
  }
  g_pThread = m_worker;
  connect(this, &MainWindow::sigInfo, this, &MainWindow::slotLog);
  connect(m_worker, &QThread::finished, this, [this] { showFailureNote(); });
}

MainWindow::~MainWindow() {
  // The worker writes into this window; it must be gone before the window.
  stopWorker();
  m_worker->wait();
  m_worker->JoinRun();
  if (g_pThread == m_worker) g_pThread = nullptr;
  delete m_worker;
  delete ui;
}

void MainWindow::setInfoText(const QString& text) {
  {
    std::lock_guard<std::mutex> lock(m_infoLock);
    infoText = text;
  }
  // Commands that fail at once (no terminal attached) would otherwise queue
  // signals faster than the GUI thread can show them.
  if (!m_infoPending.exchange(true)) emit sigInfo();
}

QString MainWindow::currentInfoText() const {
  std::lock_guard<std::mutex> lock(m_infoLock);
  return infoText;
}

bool MainWindow::workerBusy() const { return m_worker->isRunning() && !m_worker->isFinished(); }

void MainWindow::stopWorker() {
  if (!workerBusy()) return;
  m_worker->requestInterruption();
  // The library keeps a cancel for the whole command it reaches, so one
  // that lands is enough, and the worker sees the interruption request
  // before its next call. -7 means no command runs at that moment (the
  // worker is between two calls or pausing), so only then is it tried again.
  if (m_worker->sdk.IsBound()) {
    while (m_worker->sdk.pCancelRead(g_Params.port, g_Params.bp, g_Params.baud) != 0 &&
           !m_worker->wait(5)) {
    }
  }
  m_worker->wait();
}

void MainWindow::showWarning(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), text, QMessageBox::Yes);
  box.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  stopWorker();
  QMainWindow::closeEvent(event);
}

bool MainWindow::fillParams(TestParams& params) {
  params.port = FieldValue(ui->EditCom_2->text());
  params.loopCount = FieldValue(ui->EditCom_5->text());
  params.interval = FieldValue(ui->EditCom_3->text());
  params.timeout = FieldValue(ui->EditCom_4->text());
  params.bp = ChannelFromText(ui->CbxBP->currentText());
  params.baud = FieldValue(ui->CbxBaud->currentText());
  params.testKeypad = ui->cbx_keypad->isChecked();
  params.testInfo = ui->cbx_info->isChecked();
  params.testEva = ui->cbx_eva->isChecked();
  params.testNumpad = ui->cbx_numpad->isChecked();
  params.testSign = ui->cbx_sign->isChecked();
  params.testDwn = ui->cbx_dwn->isChecked();

  if (params.testDwn) {
    params.mediaType = ui->cbx_media_type->currentIndex();
    // Characters outside Latin-1 become '?'. A path that does not fit
    // filePath is refused rather than cut to the name of another file.
    const QByteArray path = ui->edit_filepath->text().toLatin1();
    if (path.isEmpty() || path.size() >= int(sizeof(params.filePath))) {
      showWarning(QStringLiteral("请正确填写文件路径"));
      return false;
    }
    std::memcpy(params.filePath, path.constData(), path.size());
    params.filePath[path.size()] = '\0';
  }

  if (!(params.testKeypad || params.testInfo || params.testEva || params.testNumpad ||
        params.testSign || params.testDwn)) {
    showWarning(QStringLiteral("至少选择一个测试项"));
    return false;
  }
  return true;
}

void MainWindow::on_pushButton_clicked() {
  if (workerBusy()) {
    showWarning(QStringLiteral("当前正在测试中"));
    return;
  }
  // The last run has ended; what it wrote is settled before it is reset.
  m_worker->JoinRun();
  g_Records.Clear();
  // A refused start leaves what it has read in g_Params, like an accepted one.
  TestParams params;
  const bool accepted = fillParams(params);
  StoreParams(params);
  if (!accepted) return;
  if (!m_worker->sdk.IsBound()) {
    showWarning(QStringLiteral("libtlxdev.so 未能加载，无法开始测试"));
    return;
  }
  statusBar()->clearMessage();
  m_worker->start(QThread::InheritPriority);
}

void MainWindow::showFailureNote() {
  const FailureLog& log = m_worker->failures;
  const int failed = log.failures();
  const int stopped = log.stopped();
  if (failed == 0 && stopped == 0) {
    statusBar()->clearMessage();
    return;
  }
  // A call the stop button cancelled is named as stopped, not as failed.
  const QString where = QFileInfo(log.path()).absoluteFilePath();
  QString note;
  if (failed == 0)
    note = QStringLiteral("本次测试已停止，%1 次调用被停止（不算失败），详见 %2")
               .arg(stopped)
               .arg(where);
  else if (stopped == 0)
    note = QStringLiteral("本次测试有 %1 次调用失败，详见 %2").arg(failed).arg(where);
  else
    note = QStringLiteral("本次测试有 %1 次调用失败，%2 次调用被停止，详见 %3")
               .arg(failed)
               .arg(stopped)
               .arg(where);
  if (log.dropped() > 0) note += QStringLiteral("（只保留最近 %1 条）").arg(log.cap());
  statusBar()->showMessage(note);
}

void MainWindow::on_EditCom_2_textChanged(const QString& text) {
  const int port = FieldValue(text);
  ui->LabelCom->setText(PortLabel(port));
  const QString normal = QString::number(port);
  if (text != normal) ui->EditCom_2->setText(normal);
}

void MainWindow::slotLog() {
  m_infoPending = false;
  const QString text = currentInfoText();

  // One reading of every counter, so that the totals agree with the lines
  // below them while the worker goes on counting.
  const TestRecords& r = g_Records;
  const int counts[6][2] = {
      {r.keypadPassed, r.keypadTried}, {r.infoPassed, r.infoTried}, {r.evaPassed, r.evaTried},
      {r.numpadPassed, r.numpadTried}, {r.signPassed, r.signTried}, {r.dwnPassed, r.dwnTried},
  };
  int passed = 0;
  int tried = 0;
  for (const auto& pair : counts) {
    passed += pair[0];
    tried += pair[1];
  }

  if (g_Params.loopCount > 0) {
    ui->EditLog->setPlainText(
        QString::asprintf("[%d, %d]", r.loopsDone.load(), g_Params.loopCount) + text);
  } else {
    ui->EditLog->setPlainText(text);
  }

  const QString stats = QString::asprintf(
      "结果统计：%d/%d\n"
      "密码键盘：%d/%d\n"
      "信息交互：%d/%d\n"
      "评价器：%d/%d\n"
      "数字键盘：%d/%d\n"
      "电子签名：%d/%d\n"
      "文件下载：%d/%d",
      passed, tried, counts[0][0], counts[0][1], counts[1][0], counts[1][1], counts[2][0],
      counts[2][1], counts[3][0], counts[3][1], counts[4][0], counts[4][1], counts[5][0],
      counts[5][1]);
  ui->EditLog->appendPlainText(stats);
}

void MainWindow::on_pushButton_2_clicked() { stopWorker(); }
