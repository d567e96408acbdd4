// The evaluator: the teller's name, number, star level and photo (the
// stored teller photo of that name, when there is one), and three answers.
#ifndef TLXSIM_EVALUATORSCREEN_H
#define TLXSIM_EVALUATORSCREEN_H

#include "PromptScreen.h"

namespace Ui {
class EvaluatorScreen;
}

class EvaluatorScreen : public PromptScreen {
  Q_OBJECT

 public:
  explicit EvaluatorScreen(QWidget* parent = nullptr);
  ~EvaluatorScreen() override;

  bool showsPhoto() const;

 protected:
  void present(const tlxsim::Prompt& prompt) override;
  void setInteractive(bool on) override;

 private slots:
  void on_BtnSatisfied_clicked();
  void on_BtnAverage_clicked();
  void on_BtnDissatisfied_clicked();

 private:
  Ui::EvaluatorScreen* ui;
};

#endif
