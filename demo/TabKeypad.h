// "密码键盘": key initialisation, master and work key download, work key
// activation and the three kinds of PIN entry.
#ifndef TABKEYPAD_H
#define TABKEYPAD_H

#include "MainWindowPxy.h"

#include <QDialog>

#include <functional>

namespace Ui {
class TabKeypad;
}

class MainDialog;

class TabKeypad : public QDialog, public MainWindowPxy {
  Q_OBJECT

 public:
  explicit TabKeypad(MainDialog* parent);
  ~TabKeypad() override;

 private slots:
  void on_BtnInit_clicked();
  void on_BtnDwnMK_clicked();
  void on_BtnDwnWK_clicked();
  void on_BtnActWK_clicked();
  void on_BtnStart_clicked();
  void on_BtnStartEnc_clicked();
  void on_BtnStartAnsi_clicked();

 private:
  // Display on, PIN length, then `entry` (link, prompt, timeout, buffer);
  // a plain PIN is logged masked. Nothing is sent while the library is
  // unbound.
  void RunPinEntry(const std::function<int(const LinkSettings& link, int prompt, int timeout,
                                           char* buffer)>& entry,
                   char* buffer, int bufferSize, bool plainPin);

  Ui::TabKeypad* ui;
};

#endif
