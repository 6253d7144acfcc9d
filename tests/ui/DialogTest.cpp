// The framework's dialog and message boxes, as the dialog manager and a user see them.
#include "e2e/Driver.h"
#include "e2e/Staging.h"
#include "platform/afxfile.h"
#include "platform/seams.h"
#include "support/TestSupport.h"
#include "ui/CleanupDlg.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A dialog whose handler answers one message with a given value.
class AnsweringDialog : public CDialog {
public:
    AnsweringDialog() : CDialog(IDD_ABOUT) {}
    UINT message = 0;
    LRESULT answer = 0;

protected:
    bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override
    {
        if (msg != message)
            return false;
        result = answer;
        return true;
    }
};

TEST(Dialog, TheSenderGetsTheHandlersAnswer)
{
    // Some answers travel in DWLP_MSGRESULT, others (the drag icon, the control colours,
    // the list-box item queries) only as the dialog procedure's return value.
    AnsweringDialog dlg;
    ASSERT_TRUE(dlg.Create());
    const struct {
        const char* name;
        UINT msg;
        LRESULT answer;
    } rows[] = {
        {"WM_QUERYDRAGICON", WM_QUERYDRAGICON, 0x1234},
        {"WM_CTLCOLORDLG", WM_CTLCOLORDLG, reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH))},
        {"WM_CTLCOLORSTATIC", WM_CTLCOLORSTATIC, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH))},
        {"WM_VKEYTOITEM", WM_VKEYTOITEM, 7},
        {"WM_NCHITTEST", WM_NCHITTEST, HTCAPTION},
        {"WM_GETDLGCODE", WM_GETDLGCODE, DLGC_WANTALLKEYS},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        dlg.message = r.msg;
        dlg.answer = r.answer;
        EXPECT_EQ(r.answer, SendMessageA(dlg.GetSafeHwnd(), r.msg, 0, 0));
    }
    dlg.DestroyWindow();
}

TEST(Dialog, TheDragIconIsTheDialogsIcon)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    CCleanupDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_NE(nullptr, dlg.m_hIcon);
    LRESULT drag = SendMessageA(dlg.GetSafeHwnd(), WM_QUERYDRAGICON, 0, 0);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg.m_hIcon), drag);
    EXPECT_EQ(SendMessageA(dlg.GetSafeHwnd(), WM_GETICON, ICON_BIG, 0), drag) << "the window's own icon";
    dlg.DestroyWindow();
}

// The framework's own boxes, shown on a thread of their own and read from here as a user
// sees them.
TEST(FrameworkBoxes, CarryTheirIcons)
{
    const struct {
        const char* name;
        void (*show)();
        const char* icon;
    } rows[] = {
        {"a refusal by string identifier, no icon asked for", [] { AfxMessageBox(IDS_NOT_ADMIN, MB_OK); },
         "exclamation"},
        {"the file error", [] { CFileException(ERROR_DISK_FULL, "C:\\users\\Temp\\VnQRXReg.dat").ReportError(); },
         "stop"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::thread shower(r.show);
        HWND box = WaitBoxOfProcess(GetCurrentProcessId(), 20000);
        EXPECT_NE(nullptr, box);
        if (box) {
            EXPECT_EQ(r.icon, IconOf(box));
            Answer(box, IDOK);
        }
        shower.join();
    }
}

BOOL WINAPI DiskFull(HANDLE, LPCVOID, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    *written = count / 2;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// A run that stops at the registry step with the framework's file error (a full disk, which
// the write seam gives) still names, after that box, the folders it did not remove; it
// claims no completion.
TEST(Uninstall, AFileErrorStillReportsTheFoldersTheRunRefused)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    wchar_t profile[MAX_PATH + 1];
    ExpandEnvironmentStringsW(L"%USERPROFILE%", profile, MAX_PATH + 1);
    const std::wstring refusedW = std::wstring(profile).substr(0, std::wstring(profile).rfind(L'\\')) + L"\\Default";
    const std::string refused = Ansi(refusedW) + "\\";
    CreateDirectoryW(refusedW.c_str(), nullptr);
    SetRegistration("DisplayName", "Velnor for QRX");
    SetRegistration("ProductVersionMajor", "10");
    SetRegistration("InstallDir", refused);

    seams::writeFile = &DiskFull;
    std::string status = "?";
    int bar = -1;
    std::thread runner([&] {
        CCleanupDlg dlg;
        if (!dlg.Create())
            return;
        // As a click does: through the dialog's window procedure, which reports a file
        // error that leaves a handler.
        SendMessageA(dlg.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_UNINSTALL, BN_CLICKED), 0);
        status = StatusText(dlg.GetSafeHwnd());
        bar = ProgressPos(dlg.GetSafeHwnd());
        dlg.DestroyWindow();
    });
    std::vector<std::string> boxes;
    std::vector<std::string> icons;
    for (HWND box; (box = WaitBoxOfProcess(GetCurrentProcessId(), boxes.empty() ? 20000 : 3000)) != nullptr;) {
        boxes.push_back(BoxText(box));
        icons.push_back(IconOf(box));
        Answer(box, boxes.size() == 1 ? IDYES : IDOK);
    }
    runner.join();
    seams::writeFile = &::WriteFile;

    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(Sjis("Velnor for QRXを起動している場合は終了させてください。Velnor for QRXをアンインストールしてよろしいですか？"),
              boxes[0]);
    EXPECT_EQ("stop", icons[1]) << "the framework's file error";
    EXPECT_NE(std::string::npos, boxes[1].find("VnQRXReg.dat"));
    EXPECT_EQ(Sjis("次のフォルダーは、Velnor for QRX以外のファイルを含むおそれがあるため削除しませんでした。") + "\n" + refused,
              boxes[2]);
    EXPECT_EQ("exclamation", icons[2]);
    EXPECT_EQ("", status);
    EXPECT_LT(bar, 100);
    for (const char* name : {"DisplayName", "ProductVersionMajor", "InstallDir"})
        SetRegistration(name, "", true);
    RemoveDirectoryW(refusedW.c_str());
}

}  // namespace
