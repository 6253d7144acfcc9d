// A small application framework over Win32: the application object, windows, modal
// dialogs with message dispatch, two control wrappers, string loading and the
// application's message box. Only what the tool uses; texts are std::string in the
// ANSI code page.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>

class CWnd;

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

// The string resource `id` of the executable, converted to the ANSI code page;
// empty when there is no such string.
std::string AfxLoadString(UINT id);

// ---------------------------------------------------------------------------
// Application
// ---------------------------------------------------------------------------

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    // Called once by the entry point. The process ends when it returns: the tool
    // answers FALSE on every path, so there is no message loop of the framework's own.
    virtual BOOL InitInstance() = 0;

    // The executable's file name without its extension (the string table has no
    // application-title entry).
    const std::string& GetAppName() const;

    CWnd* m_pMainWnd = nullptr;

private:
    mutable std::string m_strAppName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// Message box for a string identifier: captioned with the application name, owned by
// the main window when there is one. Without an icon in `type`, MB_OK and MB_OKCANCEL
// get the exclamation icon and the Yes/No kinds the question mark.
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK);
int AfxMessageBox(const std::string& text, UINT type = MB_OK);

// ---------------------------------------------------------------------------
// Windows and controls
// ---------------------------------------------------------------------------

class CWnd {
public:
    virtual ~CWnd() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }

    void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
    int MessageBox(const std::string& text, const std::string& caption, UINT type) const
    {
        return ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), type);
    }

    HWND m_hWnd = nullptr;
};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos), 0)); }
};

// ---------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------

class CDataExchange {
public:
    explicit CDataExchange(HWND dialog) : m_hDlg(dialog) {}
    HWND m_hDlg;
};

// Binds a control object to the dialog's control `id`.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; the dialog's result.
    INT_PTR DoModal();
    // Creates the dialog modeless (used where a dialog must exist without a modal loop).
    BOOL Create();
    void DestroyWindow();
    void EndDialog(INT_PTR result);

protected:
    virtual BOOL OnInitDialog();                 // runs the data exchange
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // The dialog's own message handling: true when the message was handled (its result
    // in `result`); false leaves it to the dialog manager's default processing.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void CenterIfAtOrigin();

    UINT m_idTemplate;
    CWnd* m_pParent;
    bool m_modeless = false;
};
