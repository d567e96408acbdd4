#include "PageFixture.h"

#include <QTest>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>

#include <cstdio>
#include <stdexcept>

bool PageFixture::Start() {
  m_terminal.reset(new tlxsim::VirtualTerminal);
  try {
    m_terminal->Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "virtual terminal: %s\n", e.what());
    return false;
  }
  m_terminal->SetCustomer(QuickCustomer());
  m_window.reset(new MainDialog);
  m_window->show();
  return m_window->sdk().IsBound();
}

void PageFixture::Stop() {
  m_window.reset();
  if (m_terminal) m_terminal->Stop();
  m_terminal.reset();
}

tlxsim::Customer PageFixture::QuickCustomer() const {
  tlxsim::Customer c;
  c.info.delayMs = 50;
  c.evaluator.delayMs = 50;
  c.keypadAmount.delayMs = 50;
  c.keypadPhone.delayMs = 50;
  c.pin.delayMs = 50;
  c.sign.delayMs = 50;
  return c;
}

void PageFixture::Reset() {
  Click("pushButton");  // clears the output pane
  m_terminal->ClearFaults();
  m_terminal->SetCustomer(QuickCustomer());
  // A write-only command of the previous case may still be on its way
  // through the pty or the socket: let the link go quiet before the
  // history is cleared, so it is not counted against the next case.
  size_t seen = m_terminal->History().size();
  for (int i = 0; i < 20; ++i) {
    QTest::qWait(50);
    const size_t now = m_terminal->History().size();
    if (now == seen) break;
    seen = now;
  }
  m_terminal->ClearHistory();
}

QStringList PageFixture::Lines() const {
  const QString text = Child<QPlainTextEdit>("EditLog")->toPlainText();
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void PageFixture::Click(const char* button) {
  QAbstractButton* b = Child<QAbstractButton>(button);
  if (!b) qFatal("no button %s", button);
  b->click();
}

QWidget* PageFixture::Page(int row) const {
  return Child<QStackedWidget>("stackedWidget")->widget(row);
}

void PageFixture::SetText(const char* edit, const QString& text, int row) {
  QLineEdit* e =
      row < 0 ? Child<QLineEdit>(edit) : Page(row)->findChild<QLineEdit*>(QLatin1String(edit));
  if (!e) qFatal("no line edit %s", edit);
  e->setText(text);
}

void PageFixture::SetIndex(const char* combo, int index) {
  QComboBox* c = Child<QComboBox>(combo);
  if (!c) qFatal("no combo box %s", combo);
  c->setCurrentIndex(index);
}

size_t PageFixture::Commands() const { return m_terminal->History().size(); }

bool PageFixture::Received(const std::string& bytes) const {
  for (const tlxsim::Received& r : m_terminal->History())
    if (r.bytes.find(bytes) != std::string::npos) return true;
  return false;
}
