// The framework's dialog and message boxes, as the dialog manager and a user see them.
#include "e2e/Driver.h"
#include "platform/afxfile.h"
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

}  // namespace
