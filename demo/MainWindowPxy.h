// The part every page shares: the main window it reports to and reads the
// link parameters from, and the main window's library binding.
#ifndef MAINWINDOWPXY_H
#define MAINWINDOWPXY_H

class MainDialog;
class TLX_SDK;

class MainWindowPxy
{
public:
    MainWindowPxy(MainDialog *mainDialog, TLX_SDK *sdk)
        : m_pMainDlg(mainDialog)
        , m_pSdk(sdk)
    {
    }

protected:
    // True when the library is bound. Otherwise logs why nothing is sent, so
    // that a page never calls through an unbound entry point.
    bool CheckBound();

    MainDialog *m_pMainDlg;
    TLX_SDK *m_pSdk;
};

#endif
