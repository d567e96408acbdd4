#include "TabDual.h"
#include "ui_TabDual.h"

#include "MainDialog.h"

TabDual::TabDual(MainDialog* parent)
    : QDialog(parent), MainWindowPxy(parent, &parent->sdk()), ui(new Ui::TabDual) {
  ui->setupUi(this);
}

TabDual::~TabDual() { delete ui; }
