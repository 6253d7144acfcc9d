#include "CleanupDlg.h"

#include "ui/AboutDlg.h"

#include <commctrl.h>

CCleanupDlg::CCleanupDlg(CWnd* parent)
    : CDialog(IDD_CLEANUP, parent),
      m_hIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_MAIN))),
      m_strTitle(AfxLoadString(IDS_TITLE))
{
}

void CCleanupDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_STATUS, m_status);
}

BOOL CCleanupDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE)) {
        std::string about = AfxLoadString(IDS_ABOUTBOX);
        if (!about.empty()) {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(menu, MF_STRING, IDM_ABOUT, about.c_str());
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(m_strTitle);
    m_progress.SetRange(0, 100);
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_READY));
    return TRUE;
}

bool CCleanupDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wp));
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_COMMAND:
        if (LOWORD(wp) == IDC_UNINSTALL && HIWORD(wp) == BN_CLICKED) {
            OnUninstall();
            return true;
        }
        return false;
    case WM_TIMER:
        if (wp != TIMER_FILES && wp != TIMER_REGISTRY)
            return false;   // not ours: default processing
        OnTimer(wp);
        return true;
    default:
        return false;
    }
}

bool CCleanupDlg::OnSysCommand(UINT id)
{
    if ((id & 0xFFF0) != IDM_ABOUT)
        return false;
    CAboutDlg about;
    about.DoModal();
    return true;
}

bool CCleanupDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - cxIcon + 1) / 2;
    int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
    return true;
}

void CCleanupDlg::StepProgress(int step, int cap)
{
    int pos = m_progress.GetPos();
    if (pos >= 100 || pos >= cap)
        return;
    int next = pos + step;
    m_progress.SetPos(next >= cap ? cap : next);
}

void CCleanupDlg::OnTimer(UINT_PTR id)
{
    if (id == TIMER_FILES)
        StepProgress(1, 50);
    else if (id == TIMER_REGISTRY)
        StepProgress(1, 100);
}
