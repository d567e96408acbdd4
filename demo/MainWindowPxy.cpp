#include "MainWindowPxy.h"

#include "MainDialog.h"
#include "TLX_SDK.h"

bool MainWindowPxy::CheckBound()
{
    if (m_pSdk && m_pSdk->IsBound())
        return true;
    m_pMainDlg->Log(QStringLiteral(">>>调用失败：动态库未加载(./libtlxdev.so)"));
    return false;
}
