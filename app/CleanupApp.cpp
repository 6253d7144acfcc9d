#include "CleanupApp.h"

#include "app/EnvChecks.h"
#include "res/resource.h"
#include "ui/CleanupDlg.h"

#include <commctrl.h>

BOOL CCleanupApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;   // 8
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    // The checks come before the guard, so a refused start never touches the mutex.
    if (!IsAdminUser()) {
        AfxMessageBox(IDS_NOT_ADMIN, MB_OK);
        return FALSE;
    }
    if (GetOSKind() != OS_NT6) {
        AfxMessageBox(IDS_UNSUPPORTED_OS, MB_OK);
        return FALSE;
    }
    if (!IsUacEnabled()) {
        AfxMessageBox(IDS_UAC_DISABLED, MB_OK);
        return FALSE;
    }

    m_strMutexName = "CleanupVnQRXMutex";
    if (!AcquireInstanceGuard())
        return FALSE;   // another instance runs: no message, no window

    CCleanupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

BOOL CCleanupApp::AcquireInstanceGuard()
{
    // "Global\" puts the mutex in the machine-wide namespace, shared by every logon.
    return CreateGuardMutex("Global\\" + m_strMutexName);
}

BOOL CCleanupApp::CreateGuardMutex(const std::string& name)
{
    // A null DACL: every user, from any logon, may open the existing object and so
    // learns that it exists, instead of being refused access.
    SECURITY_DESCRIPTOR sd;
    ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = &sd;
    sa.bInheritHandle = FALSE;

    m_hMutex = ::CreateMutexA(&sa, FALSE, name.c_str());
    if (m_hMutex == nullptr)
        return FALSE;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        return FALSE;
    }
    return TRUE;
}
