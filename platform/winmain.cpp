// The framework's entry point: the one application object has been constructed during
// static initialisation; InitInstance is the whole life of the process.
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;
    app->InitInstance();
    // A main window still registered after InitInstance is destroyed by the framework.
    if (app->m_pMainWnd != nullptr && app->m_pMainWnd->GetSafeHwnd() != nullptr)
        ::DestroyWindow(app->m_pMainWnd->GetSafeHwnd());
    app->m_pMainWnd = nullptr;
    return 0;
}
