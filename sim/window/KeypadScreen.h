// The numeric keypad and the PIN pad: keys on screen and from the keyboard.
// Amount: digits and one decimal point (two decimals); phone: digits; PIN:
// digits up to the PIN length the host set, shown masked, with the voice
// prompt as a line of text.
#ifndef TLXSIM_KEYPADSCREEN_H
#define TLXSIM_KEYPADSCREEN_H

#include "PromptScreen.h"

namespace Ui {
class KeypadScreen;
}

class KeypadScreen : public PromptScreen {
  Q_OBJECT

 public:
  static constexpr int kMaxValue = 20;  // keys an amount or phone number takes
  static constexpr int kMinPin = 4;

  explicit KeypadScreen(QWidget* parent = nullptr);
  ~KeypadScreen() override;

  // What the display shows ("●●●●" for a PIN).
  QString display() const;
  bool pinPad() const { return m_pin; }

  // One key as the keypad takes it: '0'..'9', '.', '\b' (back), 'c'
  // (clear), '\r' (confirm), 'x' (cancel, PIN pad only).
  void press(char key);

 protected:
  void present(const tlxsim::Prompt& prompt) override;
  void setInteractive(bool on) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool accepts(char digit) const;
  void refresh();

  Ui::KeypadScreen* ui;
  bool m_pin = false;
  bool m_amount = false;
  int m_maxLength = kMaxValue;
  QString m_value;  // a PIN never leaves this object but to the engine
};

#endif
