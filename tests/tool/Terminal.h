// The virtual terminal the tool tests run against, in this process: its HID
// side answers the library through the libusb stand-in.
#ifndef TERMINAL_H
#define TERMINAL_H

#include <QByteArray>
#include <QList>

#include <initializer_list>
#include <memory>

#include "Engine.h"

namespace tlxsim {
class VirtualTerminal;
}

class Terminal {
 public:
  Terminal();
  ~Terminal();

  // Starts the terminal and points this process's environment at it.
  bool start();
  void stop();

  tlxsim::Engine& engine();
  // Commands the terminal received, in order.
  QList<QByteArray> received();
  // How many received commands begin with prefix.
  int count(const QByteArray& prefix);

  // A customer who never answers: every interaction runs into its timeout.
  static tlxsim::Customer Silent();
  // A customer who answers every interaction at once, positively.
  static tlxsim::Customer Quick();

 private:
  std::unique_ptr<tlxsim::VirtualTerminal> m_terminal;
};

#endif
