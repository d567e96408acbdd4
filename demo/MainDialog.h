// The demo's main window: navigation list, stacked function pages and the
// output pane every page reports to. Owns the library binding and the
// communication settings dialog and hands both to the pages.
#ifndef MAINDIALOG_H
#define MAINDIALOG_H

#include "ConfigDialog.h"
#include "CustomTopBarDialog.h"
#include "LinkSettings.h"
#include "TLX_SDK.h"

#include <QModelIndex>
#include <QString>

#include <vector>

namespace Ui {
class MainDialog;
}

class TabEvaNum;

struct TabPage {
  QWidget* page;
  QString title;
};

class MainDialog : public CustomTopBarDialog {
  Q_OBJECT

 public:
  // libraryPath: the library to bind once all pages exist.
  explicit MainDialog(QWidget* parent = nullptr, const char* libraryPath = "./libtlxdev.so");
  ~MainDialog() override;

  void Log(const QString& text);
  int getCom();
  int getBP();
  int getBaud();
  // The three together, read on the calling (GUI) thread.
  LinkSettings getLink();

  TLX_SDK& sdk() { return m_sdk; }
  ConfigDialog& configDialog() { return m_config; }
  TabEvaNum* evaNumPage() const { return m_evaNum; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void on_pushButton_2_clicked();
  void on_listWidget_clicked(const QModelIndex& index);
  void on_pushButton_clicked();

 private:
  TLX_SDK m_sdk;
  Ui::MainDialog* ui;
  ConfigDialog m_config;
  std::vector<TabPage*> m_pages;
  TabEvaNum* m_evaNum = nullptr;
};

#endif
