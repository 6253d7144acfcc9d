#include "afxwin.h"

#include "afxfile.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <vector>

namespace {
CWinApp* g_app = nullptr;
}

std::string AfxLoadString(UINT id)
{
    // With a length of 0, LoadStringW hands out a pointer into the resource itself.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return std::string();
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], bytes, nullptr, nullptr);
    return result;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

const std::string& CWinApp::GetAppName() const
{
    if (m_strAppName.empty()) {
        char path[MAX_PATH + 1] = {};
        ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        char* name = ::PathFindFileNameA(path);   // lead-byte aware
        ::PathRemoveExtensionA(name);
        m_strAppName = name;
    }
    return m_strAppName;
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleA(nullptr); }

int AfxMessageBox(const std::string& text, UINT type)
{
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            type |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            type |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    CWinApp* app = AfxGetApp();
    HWND owner = nullptr;
    std::string caption;
    if (app != nullptr) {
        caption = app->GetAppName();
        if (app->m_pMainWnd != nullptr)
            owner = app->m_pMainWnd->GetSafeHwnd();
    }
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

int AfxMessageBox(UINT idPrompt, UINT type) { return AfxMessageBox(AfxLoadString(idPrompt), type); }

std::string CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int got = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    return std::string(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.m_hWnd == nullptr)
        control.Attach(::GetDlgItem(pDX->m_hDlg, id));
}

CDialog::CDialog(UINT idTemplate, CWnd* parent) : m_idTemplate(idTemplate), m_pParent(parent) {}

CDialog::~CDialog()
{
    if (m_modeless && m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    // Without a parent of its own, a modal dialog is owned by the main window, which it
    // disables while it is open.
    HWND owner = m_pParent != nullptr ? m_pParent->GetSafeHwnd() : nullptr;
    CWinApp* app = AfxGetApp();
    if (owner == nullptr && app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this)
        owner = app->m_pMainWnd->GetSafeHwnd();
    INT_PTR result = ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_idTemplate), owner,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::Create()
{
    m_modeless = true;
    HWND owner = m_pParent != nullptr ? m_pParent->GetSafeHwnd() : nullptr;
    HWND hwnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_idTemplate), owner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void CDialog::DestroyWindow()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_modeless)
        DestroyWindow();
    else
        ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx(m_hWnd);
    DoDataExchange(&dx);
    return TRUE;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void CDialog::CenterIfAtOrigin()
{
    // A template placed at 0, 0 without DS_CENTER is centred over its owner, or over
    // the work area when it has none.
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    RECT area;
    if (owner != nullptr) {
        ::GetWindowRect(owner, &area);
        POINT origin = {0, 0};
        ::ClientToScreen(owner, &origin);
        if (rc.left != origin.x || rc.top != origin.y)
            return;
    } else {
        if (rc.left != 0 || rc.top != 0)
            return;
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// The dialog manager passes on DWLP_MSGRESULT as the answer to most messages, but for
// these it passes on the dialog procedure's own return value and ignores DWLP_MSGRESULT
// (a WM_QUERYDRAGICON answered through DWLP_MSGRESULT reaches the sender as 1, TRUE).
bool AnswersThroughReturnValue(UINT msg)
{
    switch (msg) {
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

}  // namespace

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (self == nullptr)
        return FALSE;
    INT_PTR result = self->Dispatch(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        BOOL focus = OnInitDialog();
        CenterIfAtOrigin();
        return focus;
    }
    LRESULT result = 0;
    try {
        if (OnMessage(msg, wp, lp, result)) {
            if (AnswersThroughReturnValue(msg))
                return static_cast<INT_PTR>(result);
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    } catch (const CFileException& e) {
        // A file error that left a handler: report it and count the message as handled.
        e.ReportError();
        return TRUE;
    }
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        switch (LOWORD(wp)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            break;
        }
    }
    return FALSE;
}
