// The signature screen: the downloaded document above, the signing area
// below, clear and confirm. What is drawn here becomes the signature image
// and trajectory the host pulls.
#ifndef TLXSIM_SIGNATURESCREEN_H
#define TLXSIM_SIGNATURESCREEN_H

#include "PromptScreen.h"
#include "Signature.h"

#include <vector>

namespace Ui {
class SignatureScreen;
}

class DocumentView;
class SignaturePad;

class SignatureScreen : public PromptScreen {
  Q_OBJECT

 public:
  explicit SignatureScreen(QWidget* parent = nullptr);
  ~SignatureScreen() override;

  DocumentView* document() const;
  SignaturePad* pad() const;
  // Narrow form: the buttons under the signing area instead of beside it
  // (the area keeps its size, which the trajectory's coordinates are in).
  void setCompact(bool compact);

 signals:
  void signedOff(quint64 id, const std::vector<tlxsim::Stroke>& strokes);

 protected:
  void present(const tlxsim::Prompt& prompt) override;
  void setInteractive(bool on) override;

 private slots:
  void on_BtnClear_clicked();
  void on_BtnConfirm_clicked();
  void padChanged();

 private:
  Ui::SignatureScreen* ui;
};

#endif
