// The tool's one window: status line, progress bar, Uninstall and Exit.
#pragma once

#include "platform/afxwin.h"
#include "res/resource.h"

#include <string>
#include <vector>

enum {
    TIMER_FILES = 1234,      // ticks while the installation folder is removed
    TIMER_REGISTRY = 1235,   // ticks while the registry entries are removed
};

class CCleanupDlg : public CDialog {
public:
    explicit CCleanupDlg(CWnd* parent = nullptr);
    ~CCleanupDlg() override = default;

    // Advances the bar by `step`, never past `cap` and never backwards.
    void StepProgress(int step, int cap);
    void OnTimer(UINT_PTR id);
    void OnUninstall();

    // The removal steps the uninstall sequence calls.
    BOOL DeleteFolderIfExists(std::string path);
    std::string ExtractRegDataFile();
    BOOL RemoveRegistryEntries();
    BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName);

    HICON m_hIcon;
    std::string m_strTitle;
    CProgressCtrl m_progress;
    CStatic m_status;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // Folders a run left in place (119) and folders it refused (121), in one box; none: no box.
    void ReportFolders(const std::vector<std::string>& leftInPlace, const std::vector<std::string>& refused);
    bool OnSysCommand(UINT id);
    bool OnPaint();
};
