#include "Terminal.h"

#include <initializer_list>

#include <stdexcept>

#include "VirtualTerminal.h"

Terminal::Terminal() = default;

Terminal::~Terminal() { stop(); }

bool Terminal::start() {
  tlxsim::VirtualTerminalOptions options;
  options.serial = false;  // the tool tests use port 0, the HID side
  m_terminal = std::make_unique<tlxsim::VirtualTerminal>(options);
  try {
    m_terminal->Start();
  } catch (const std::runtime_error& e) {
    qWarning("virtual terminal: %s", e.what());
    return false;
  }
  return true;
}

void Terminal::stop() {
  if (m_terminal) m_terminal->Stop();
}

tlxsim::Engine& Terminal::engine() { return m_terminal->engine(); }

QList<QByteArray> Terminal::received() {
  QList<QByteArray> commands;
  for (const tlxsim::Received& r : m_terminal->History()) {
    commands << QByteArray(r.bytes.data(), int(r.bytes.size()));
  }
  return commands;
}

int Terminal::count(const QByteArray& prefix) {
  int n = 0;
  for (const QByteArray& command : received()) {
    if (command.startsWith(prefix)) ++n;
  }
  return n;
}

tlxsim::Customer Terminal::Silent() {
  tlxsim::Customer c;
  for (tlxsim::Answer* a :
       {&c.info, &c.evaluator, &c.keypadAmount, &c.keypadPhone, &c.pin, &c.sign}) {
    a->answers = false;
  }
  return c;
}

tlxsim::Customer Terminal::Quick() {
  tlxsim::Customer c;
  for (tlxsim::Answer* a :
       {&c.info, &c.evaluator, &c.keypadAmount, &c.keypadPhone, &c.pin, &c.sign}) {
    a->answers = true;
    a->delayMs = 0;
  }
  return c;
}
