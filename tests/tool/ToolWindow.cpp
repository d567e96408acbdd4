#include "ToolWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "TestThread.h"

namespace {

template <typename W>
W* Child(const QObject* root, const char* name) {
  W* widget = root->findChild<W*>(QString::fromLatin1(name));
  if (!widget) qFatal("no widget %s", name);
  return widget;
}

}  // namespace

QStringList ToolWindow::texts() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_texts;
}

void ToolWindow::clearTexts() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_texts.clear();
}

void ToolWindow::setInfoText(const QString& text) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts << text;
  }
  if (onText) onText(text);
  MainWindow::setInfoText(text);
}

void ToolWindow::setField(const char* name, const QString& text) {
  Child<QLineEdit>(this, name)->setText(text);
}

void ToolWindow::setChecked(const char* name, bool checked) {
  Child<QAbstractButton>(this, name)->setChecked(checked);
}

void ToolWindow::setComboIndex(const char* name, int index) {
  Child<QComboBox>(this, name)->setCurrentIndex(index);
}

void ToolWindow::start() { Child<QAbstractButton>(this, "pushButton")->click(); }

void ToolWindow::stop() { Child<QAbstractButton>(this, "pushButton_2")->click(); }

QPlainTextEdit* ToolWindow::view() const { return Child<QPlainTextEdit>(this, "EditLog"); }

QString ToolWindow::labelText(const char* name) const { return Child<QLabel>(this, name)->text(); }

QString ToolWindow::fieldText(const char* name) const {
  return Child<QLineEdit>(this, name)->text();
}

void ToolWindow::showWarning(const QString& text) { warnings << text; }

bool WorkerBusy() { return g_pThread && g_pThread->isRunning(); }

bool WaitIdle(int timeoutMs) {
  const bool idle = QTest::qWaitFor([] { return !WorkerBusy(); }, timeoutMs);
  QCoreApplication::processEvents();
  return idle;
}
