// The progress model on a real dialog (created modeless, so that no modal loop runs).
#include "ui/CleanupDlg.h"

#include <gtest/gtest.h>

namespace {

class Progress : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        ASSERT_TRUE(dlg.Create());
    }
    CCleanupDlg dlg;
};

TEST_F(Progress, StepsForwardButNeverPastTheCapOrBackwards)
{
    struct Row {
        int from, step, cap, to;
    } rows[] = {
        {0, 10, 10, 10},   {10, 50, 50, 50},  {50, 50, 50, 50},  {50, 10, 60, 60},  {55, 10, 60, 60},
        {60, 1, 50, 60},   {49, 1, 50, 50},   {50, 1, 50, 50},   {99, 1, 100, 100}, {100, 1, 100, 100},
        {0, 100, 100, 100}, {73, 100, 100, 100}, {100, 100, 100, 100}, {20, 5, 200, 25},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "from " << r.from << " step " << r.step << " cap " << r.cap);
        dlg.m_progress.SetPos(r.from);
        dlg.StepProgress(r.step, r.cap);
        EXPECT_EQ(r.to, dlg.m_progress.GetPos());
    }
}

TEST_F(Progress, RunOrderLandsOnTheDocumentedPositions)
{
    dlg.m_progress.SetPos(0);
    dlg.StepProgress(10, 10);
    EXPECT_EQ(10, dlg.m_progress.GetPos());
    dlg.StepProgress(50, 50);
    EXPECT_EQ(50, dlg.m_progress.GetPos());
    dlg.StepProgress(10, 60);
    EXPECT_EQ(60, dlg.m_progress.GetPos());
    dlg.StepProgress(100, 100);
    EXPECT_EQ(100, dlg.m_progress.GetPos());
}

TEST_F(Progress, TimerTicksMoveTheBarUpToTheirCaps)
{
    struct Row {
        UINT_PTR id;
        int from, to;
    } rows[] = {
        {TIMER_FILES, 10, 11},    {TIMER_FILES, 49, 50},     {TIMER_FILES, 50, 50},  {TIMER_FILES, 70, 70},
        {TIMER_REGISTRY, 60, 61}, {TIMER_REGISTRY, 99, 100}, {TIMER_REGISTRY, 100, 100},
        {999, 10, 10},            {0, 10, 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "timer " << r.id << " at " << r.from);
        dlg.m_progress.SetPos(r.from);
        SendMessageA(dlg.m_hWnd, WM_TIMER, r.id, 0);   // through the dialog's message map
        EXPECT_EQ(r.to, dlg.m_progress.GetPos());
    }
}

TEST_F(Progress, DialogStartsEmptyWithTheInstruction)
{
    EXPECT_EQ(0, dlg.m_progress.GetPos());
    EXPECT_EQ(100, static_cast<int>(SendMessageA(dlg.m_progress.m_hWnd, PBM_GETRANGE, FALSE, 0)));
    EXPECT_EQ(0, static_cast<int>(SendMessageA(dlg.m_progress.m_hWnd, PBM_GETRANGE, TRUE, 0)));
    EXPECT_EQ(AfxLoadString(IDS_STATUS_READY), dlg.m_status.GetWindowText());
    EXPECT_EQ(AfxLoadString(IDS_TITLE), dlg.GetWindowText());
}

}  // namespace
