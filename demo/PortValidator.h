// Validator of the settings dialog's port field: whole numbers from 0 (USB
// HID) to 100 (serial port 100). Unlike a plain QIntValidator it refuses a
// keystroke that would leave a number out of that range, instead of letting
// it stand as an intermediate text.
#ifndef PORTVALIDATOR_H
#define PORTVALIDATOR_H

#include <QIntValidator>

class PortValidator : public QIntValidator {
  Q_OBJECT

 public:
  enum { LowestPort = 0, HighestPort = 100 };

  explicit PortValidator(QObject* parent = nullptr);

  // An empty field is intermediate (the dialog turns it into 0); digits
  // within the range are acceptable; everything else is invalid.
  State validate(QString& input, int& pos) const override;

  static bool inRange(int port) { return port >= LowestPort && port <= HighestPort; }
};

#endif
