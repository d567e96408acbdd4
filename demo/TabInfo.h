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

class TabInfo : public QDialog, public MainWindowPxy
{
    Q_OBJECT

public:
    explicit TabInfo(MainDialog *parent);
    ~TabInfo() override;

    // Where the library leaves the signature picture and trajectory data.
    static const char kSignImagePath[];
    static const char kSignDataPath[];

private slots:
    void on_pushButton_40_clicked();
    void on_BtnSign_clicked();

private:
    void ShowSignature();

    Ui::TabInfo *ui;
};

#endif
