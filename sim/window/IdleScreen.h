// What the screen shows between prompts: a welcome, the model, and the
// first stored advertising picture.
#ifndef TLXSIM_IDLESCREEN_H
#define TLXSIM_IDLESCREEN_H

#include <QWidget>

namespace Ui {
class IdleScreen;
}

class IdleScreen : public QWidget {
  Q_OBJECT

 public:
  explicit IdleScreen(QWidget* parent = nullptr);
  ~IdleScreen() override;

  void setModel(const QString& model);
  // A picture file to show; empty for none.
  void setAdvert(const QString& file);

 private:
  Ui::IdleScreen* ui;
  QString m_advert;
};

#endif
