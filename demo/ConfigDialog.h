// Communication settings: port number, BP channel letter and baud rate.
// The widgets are the live source of the link parameters; "保存设置" writes
// them to "config.ini" for the next start.
#ifndef CONFIGDIALOG_H
#define CONFIGDIALOG_H

#include "CustomTopBarDialog.h"

namespace Ui {
class ConfigDialog;
}

class ConfigDialog : public CustomTopBarDialog {
  Q_OBJECT

 public:
  explicit ConfigDialog(QWidget* parent = nullptr);
  ~ConfigDialog() override;

  int getCom() const;
  int getBP() const;
  int getBaud() const;

 private slots:
  void on_EditCom_textChanged(const QString& arg1);
  void on_BtnComSave_clicked();

 private:
  Ui::ConfigDialog* ui;
};

#endif
