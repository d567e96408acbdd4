#include "MainWindowPxy.h"

#include "MainDialog.h"
#include "TLX_SDK.h"

bool MainWindowPxy::CheckBound()
{
    if (m_pSdk && m_pSdk->IsBound())
        return true;
    m_pMainDlg->Log(QStringLiteral(">>>动态库未加载(./libtlxdev.so)，未发送命令"));
    return false;
}
