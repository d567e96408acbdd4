// Liveness check and photo page: laid out, but the library offers no
// command for it, so it has no behaviour and is not shown in the
// navigation.
#ifndef TABDUAL_H
#define TABDUAL_H

#include "MainWindowPxy.h"

#include <QDialog>

namespace Ui {
class TabDual;
}

class MainDialog;

class TabDual : public QDialog, public MainWindowPxy {
  Q_OBJECT

 public:
  explicit TabDual(MainDialog* parent);
  ~TabDual() override;

 private:
  Ui::TabDual* ui;
};

#endif
