// "交互和签名": shows an information text on the terminal and reports the
// customer's answer; runs an electronic signature and shows the signature
// picture and trajectory data the library stored.
#ifndef TABINFO_H
#define TABINFO_H

#include "MainWindowPxy.h"

#include <QDialog>

namespace Ui {
class TabInfo;
}

class MainDialog;

class TabInfo : public QDialog, public MainWindowPxy {
  Q_OBJECT

 public:
  explicit TabInfo(MainDialog* parent);
  ~TabInfo() override;

  // Names of the pulled signature picture and trajectory data, in the
  // user's private folder (PrivateOutputDir).
  static const char kSignImageName[];
  static const char kSignDataName[];

 private slots:
  void on_pushButton_40_clicked();
  void on_BtnSign_clicked();

 private:
  void ShowSignature();

  Ui::TabInfo* ui;
};

#endif
