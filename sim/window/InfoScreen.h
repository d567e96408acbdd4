// The information screen: the text the host sent (GBK), confirm and cancel.
#ifndef TLXSIM_INFOSCREEN_H
#define TLXSIM_INFOSCREEN_H

#include "PromptScreen.h"

namespace Ui {
class InfoScreen;
}

class InfoScreen : public PromptScreen {
  Q_OBJECT

 public:
  explicit InfoScreen(QWidget* parent = nullptr);
  ~InfoScreen() override;

  QString text() const;

 protected:
  void present(const tlxsim::Prompt& prompt) override;
  void setInteractive(bool on) override;

 private slots:
  void on_BtnConfirm_clicked();
  void on_BtnCancel_clicked();

 private:
  Ui::InfoScreen* ui;
};

#endif
