#include "TabEvaNum.h"

#include "ui_TabEvaNum.h"

#include "GbkText.h"
#include "MainDialog.h"
#include "PageStyle.h"
#include "TLX_SDK.h"
#include "TestThread.h"

#include <mutex>

#include <cstring>

TestThread* g_pThread = nullptr;

namespace {

// Copies text into a fixed teller field. Text that does not fit with its
// terminating NUL is refused rather than cut, so a multi-byte character is
// never split and nothing is written past the field.
bool CopyField(char (&field)[kTellerFieldSize], const QByteArray& text) {
  std::memset(field, 0, sizeof(field));
  if (static_cast<size_t>(text.size()) >= sizeof(field)) return false;
  std::memcpy(field, text.constData(), static_cast<size_t>(text.size()));
  return true;
}

}  // namespace

TabEvaNum::TabEvaNum(MainDialog* parent)
    : QDialog(parent), MainWindowPxy(parent, &parent->sdk()), ui(new Ui::TabEvaNum) {
  ui->setupUi(this);
  ApplyPageStyle(this);
  ui->CbxStars->setCurrentIndex(4);
  m_thread = new TestThread(this);
  g_pThread = m_thread;
  connect(this, &TabEvaNum::sigInfo, this, &TabEvaNum::slotLog);
}

TabEvaNum::~TabEvaNum() {
  StopWorker();
  delete ui;
  delete m_thread;
  if (g_pThread == m_thread) g_pThread = nullptr;
}

bool TabEvaNum::WorkerBusy() const { return !m_thread->isFinished() && m_thread->isRunning(); }

void TabEvaNum::PostResult(const QString& line) {
  {
    std::lock_guard<std::mutex> lock(m_infoLock);
    infoText = line;
  }
  emit sigInfo();
}

void TabEvaNum::slotLog() {
  QString line;
  {
    std::lock_guard<std::mutex> lock(m_infoLock);
    line = infoText;
  }
  m_pMainDlg->Log(line);
}

void TabEvaNum::StopWorker() {
  if (!WorkerBusy()) return;
  // The library keeps a cancel for the whole call, so one that lands is
  // enough; the call then comes back after its closing step. -7 means no
  // call runs at that moment (the worker has not entered it yet, or has
  // just left it), so only then is the cancel tried again.
  const LinkSettings link = m_thread->link;
  if (m_pSdk->IsBound()) {
    while (m_pSdk->pCancelRead(link.port, link.bp, link.baud) != 0 && !m_thread->wait(5)) {
    }
  }
  m_thread->wait();
}

void TabEvaNum::on_BtnStartEva_clicked() {
  if (WorkerBusy()) {
    m_pMainDlg->Log(QStringLiteral("请先关闭当前操作"));
    return;
  }
  m_pMainDlg->Log(QStringLiteral("评价功能"));
  const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
  if (ui->EditName->text().isEmpty()) {
    m_pMainDlg->Log(QStringLiteral(">>>请输入姓名"));
    return;
  }
  if (ui->EditID->text().isEmpty()) {
    m_pMainDlg->Log(QStringLiteral(">>>请输入工号"));
    return;
  }
  if (!CheckBound()) return;

  const QByteArray name = ToGbk(ui->EditName->text());
  const QByteArray number = ui->EditID->text().toUtf8();
  const QByteArray photo = ui->EditPhoto->text().toUtf8();

  TestThread* t = m_thread;
  t->stars = 0;
  t->task = TestThread::Evaluate;
  t->timeout = timeout;
  if (!CopyField(t->tellerName, name)) {
    m_pMainDlg->Log(QStringLiteral(">>>姓名过长：最多127字节"));
    return;
  }
  if (!CopyField(t->tellerNo, number)) {
    m_pMainDlg->Log(QStringLiteral(">>>工号过长：最多127字节"));
    return;
  }
  if (!CopyField(t->photo, photo)) {
    m_pMainDlg->Log(QStringLiteral(">>>头像文件名过长：最多127字节"));
    return;
  }
  t->stars = ui->CbxStars->currentIndex() + 1;
  t->link = m_pMainDlg->getLink();
  t->start(QThread::InheritPriority);
}

void TabEvaNum::StartKeyboard(int task) {
  const int timeout = ui->EditTimeout->text().toInt(nullptr, 10);
  if (!CheckBound()) return;
  TestThread* t = m_thread;
  std::memset(t->tellerName, 0, sizeof(t->tellerName));
  std::memset(t->tellerNo, 0, sizeof(t->tellerNo));
  std::memset(t->photo, 0, sizeof(t->photo));
  t->stars = 0;
  t->task = task;
  t->timeout = timeout;
  t->link = m_pMainDlg->getLink();
  t->start(QThread::InheritPriority);
}

void TabEvaNum::on_BtnInputPh_clicked() {
  if (WorkerBusy()) {
    m_pMainDlg->Log(QStringLiteral("请先关闭当前操作"));
    return;
  }
  m_pMainDlg->Log(QStringLiteral("输入电话号码"));
  StartKeyboard(TestThread::PhoneNumber);
}

void TabEvaNum::on_BtnInputAmount_clicked() {
  if (WorkerBusy()) {
    m_pMainDlg->Log(QStringLiteral("请先关闭当前操作"));
    return;
  }
  m_pMainDlg->Log(QStringLiteral("输入金额"));
  StartKeyboard(TestThread::Amount);
}

void TabEvaNum::on_BtnStartEva_2_clicked() {
  if (!WorkerBusy()) {
    m_pMainDlg->Log(QStringLiteral("无须取消"));
    return;
  }
  StopWorker();
}
