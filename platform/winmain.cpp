// The framework's entry point: the one application object has been constructed during
// static initialisation; InitInstance is the whole life of the process.
#include "afxwin.h"

namespace {

// The tool runs elevated, often straight from a downloads folder: a DLL planted beside
// it must never be loaded. Restrict the search to the system folder where the system
// can (SetDefaultDllDirectories: Windows 8, or Vista/7 with KB2533623), and take the
// current folder out of the search in any case.
void RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto setDefault = kernel != nullptr ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                              ::GetProcAddress(kernel, "SetDefaultDllDirectories"))
                                        : nullptr;
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryA("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
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
