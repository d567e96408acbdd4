// "基础功能": online check, version, restart, volume, media files and the
// firmware upgrade.
#ifndef TABBASIC_H
#define TABBASIC_H

#include "MainWindowPxy.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

class QLineEdit;

namespace Ui {
class TabBasic;
}

class MainDialog;

class TabBasic : public QDialog, public MainWindowPxy {
  Q_OBJECT

 public:
  explicit TabBasic(MainDialog* parent);
  ~TabBasic() override;

 private slots:
  void on_BtnCheckDev_clicked();
  void on_BtnGetVer_clicked();
  void on_BtnReboot_clicked();
  void on_BtnVolSet_clicked();
  void on_BtnGetMdiaList_clicked();
  void on_BtnMediaDwn_clicked();
  void on_BtnMediaQuery_clicked();
  void on_BtnMediaDel_clicked();
  void on_BtnUpdateStart_clicked();
  void on_CbxVolType_currentIndexChanged(int index);
  void on_SldVol_valueChanged(int value);

 private:
  // Logs the title line and takes the text of `field` as typed: an empty
  // field logs `missing` and gives false; otherwise `announce` followed by
  // the text is logged and latin1 receives its Latin-1 bytes (characters
  // outside Latin-1 become '?').
  bool TakeInput(const QString& title, const QLineEdit* field, const QString& missing,
                 const QString& announce, QByteArray* latin1);

  Ui::TabBasic* ui;
};

#endif
