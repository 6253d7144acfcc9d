// The application object: the start-up gate, then the uninstall dialog.
#pragma once

#include "platform/afxwin.h"

#include <string>

class CCleanupApp : public CWinApp {
public:
    CCleanupApp() = default;
    ~CCleanupApp() override = default;   // the mutex handle stays open until the process ends

    BOOL InitInstance() override;

    // TRUE when this process has newly created the global single-instance mutex.
    BOOL AcquireInstanceGuard();
    // TRUE when a mutex of `name` was newly created; its handle is then in m_hMutex.
    BOOL CreateGuardMutex(const std::string& name);

    std::string m_strMutexName;
    HANDLE m_hMutex = nullptr;
};

extern CCleanupApp theApp;
