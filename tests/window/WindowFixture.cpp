#include "WindowFixture.h"

#include "tlxdev.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTest>
#include <QTextCodec>

#include <cstdio>
#include <stdexcept>

HostCall::HostCall(std::function<int()> call)
    : m_thread([this, call] {
        m_result = call();
        m_done = true;
      }) {}

HostCall::~HostCall() {
  if (m_thread.joinable()) m_thread.join();
}

bool HostCall::wait(int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!m_done && t.elapsed() < timeoutMs) QTest::qWait(10);
  if (!m_done) return false;
  m_thread.join();
  return true;
}

bool WindowFixture::start(bool live) {
  m_terminal.reset(new tlxsim::VirtualTerminal);
  try {
    m_terminal->Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "virtual terminal: %s\n", e.what());
    return false;
  }
  m_window.reset(new TerminalWindow(m_terminal->engine(), live));
  m_window->show();
  return QTest::qWaitForWindowExposed(m_window.get());
}

void WindowFixture::stop() {
  m_window.reset();
  if (m_terminal) m_terminal->Stop();
  m_terminal.reset();
}

quint64 WindowFixture::waitForPrompt(int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (m_window->currentPrompt() == 0 && t.elapsed() < timeoutMs) QTest::qWait(10);
  return m_window->currentPrompt();
}

bool WindowFixture::waitForIdle(int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (m_window->currentPrompt() != 0 && t.elapsed() < timeoutMs) QTest::qWait(10);
  return m_window->currentPrompt() == 0;
}

void WindowFixture::click(QWidget* screen, const char* button) {
  auto* b = screen->findChild<QAbstractButton*>(QLatin1String(button));
  if (!b) qFatal("no button %s", button);
  QTest::mouseClick(b, Qt::LeftButton);
}

std::string Gbk(const QString& text) {
  const QByteArray b = QTextCodec::codecForName("GBK")->fromUnicode(text);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

bool WritePicture(const QString& path, int width, int height, const char* format) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(QColor(40, 120, 140));
  return picture.save(path, format);
}

SignFiles::SignFiles(const QString& doc)
    : document(doc.toLocal8Bit()),
      image((QFileInfo(doc).absolutePath() + QStringLiteral("/hw.png")).toLocal8Bit()),
      data((QFileInfo(doc).absolutePath() + QStringLiteral("/hw.xml")).toLocal8Bit()) {}

std::function<int()> SignFiles::call(int timeout) {
  return [this, timeout] {
    return TLX_StartSign(0, 0, 9600, timeout, document.data(), image.data(), data.data());
  };
}
