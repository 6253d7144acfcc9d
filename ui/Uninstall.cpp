// The uninstall run behind the Uninstall button, and the dialog's removal steps.
#include "ui/CleanupDlg.h"

#include "fs/FolderRemoval.h"
#include "fs/PathUtil.h"
#include "fs/SafeFolder.h"
#include "fs/WidePath.h"
#include "platform/afxfile.h"
#include "registry/ProfileText.h"
#include "registry/RegDataFile.h"
#include "registry/RegRemoval.h"
#include "registry/RegUtil.h"

#include <shlobj.h>
#include <vector>

namespace {

const char kProductKey[] = "SOFTWARE\\Halcyra\\ProductInfo\\1.0";
const char kForcedFolder[] = "C:\\Program Files\\Velnor for QRX\\";

bool KeyIsDown(int vk) { return ::GetKeyState(vk) < 0; }

}  // namespace

BOOL CCleanupDlg::DeleteFolderIfExists(std::string path) { return ::DeleteFolderIfExists(std::move(path)); }

std::string CCleanupDlg::ExtractRegDataFile() { return ::ExtractRegDataFile(); }

BOOL CCleanupDlg::RemoveRegistryEntry(const std::string& section, const std::string& valueName)
{
    return ::RemoveRegistryEntry(section, valueName);
}

BOOL CCleanupDlg::RemoveRegistryEntries()
{
    std::string path = ExtractRegDataFile();
    if (path.empty() || !IsFileExist(path)) {
        MessageBox(AfxLoadString(IDS_REGDATA_MISSING), m_strTitle, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    // The pass reads the bytes embedded in the tool, not the written copy: any program of
    // the user can rewrite that one before it would be read.
    RunRegistryPass(CProfileText(LoadRegData()));
    return TRUE;   // the data file stays in the temporary folder
}

void CCleanupDlg::OnUninstall()
{
    m_progress.SetPos(0);
    m_status.SetWindowText("");
    const std::string product = AfxLoadString(IDS_PRODUCT_NAME);
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_CHECKING));

    const std::string displayName = RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "DisplayName", "");
    const std::string versionMajor = RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "ProductVersionMajor", "");

    // Shift and Ctrl held while clicking: forced mode. Ctrl is read only when Shift is down.
    bool forced = false;
    if (KeyIsDown(VK_SHIFT) && KeyIsDown(VK_CONTROL)) {
        AfxMessageBox(IDS_FORCED_MODE);
        forced = true;
    } else if (displayName != product || versionMajor != "10") {
        MessageBox(AfxLoadString(IDS_NOT_INSTALLED), m_strTitle, MB_OK | MB_ICONEXCLAMATION);
        m_status.SetWindowText(AfxLoadString(IDS_STATUS_READY));
        return;
    }

    if (MessageBox(AfxLoadString(IDS_CONFIRM), m_strTitle, MB_YESNO | MB_ICONINFORMATION) != IDYES) {
        m_status.SetWindowText(AfxLoadString(IDS_STATUS_READY));
        return;
    }
    StepProgress(10, 10);

    // Folders that a step had to leave in place, and registered folders that were not
    // removed because they may hold what is not the suite's; reported at the end
    // instead of success.
    std::vector<std::string> leftInPlace, refused;

    // Step 1: the installation folder. A registered folder is only a value in the
    // registry: it is removed only when it is plainly a folder of its own, reached as
    // spelled, never a drive, a share, a link or one of the system's folders or what
    // holds them.
    std::string installDir =
        forced ? std::string(kForcedFolder) : RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "InstallDir", "");
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_FILES));
    ::SetTimer(m_hWnd, TIMER_FILES, 200, nullptr);
    if (!installDir.empty()) {
        const FolderVerdict verdict = JudgeRegisteredFolder(installDir);
        if (verdict == FolderVerdict::Refused)
            refused.push_back(installDir);
        else if (verdict == FolderVerdict::Removable && !DeleteFolderIfExists(AddBackslash(installDir)))
            leftInPlace.push_back(installDir);
    }
    ::KillTimer(m_hWnd, TIMER_FILES);
    StepProgress(50, 50);

    // Step 2: the product's folder in the current user's Start-menu programs folder. Where
    // that is, the user's own settings say: the folder is removed only when it is the
    // user's own (see JudgeStartMenuFolder), and found and removed by its exact UTF-16
    // path, which the code page may not be able to spell. Without a programs folder the
    // step is skipped: the path would otherwise name a folder at the root of the drive.
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_STARTMENU));
    wchar_t programs[MAX_PATH + 1] = {};
    ::SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAMS, FALSE);
    if (programs[0] != L'\0') {
        const WString name = ToWide(product);
        WString removeBy;
        const FolderVerdict verdict = JudgeStartMenuFolder(programs, name, OwnProfileFolder(), removeBy);
        // As the user may be shown it: never a best-fit form, which names another folder.
        const std::string shown = DisplayForm(FullPathW(programs) + L"\\" + name + L"\\");
        if (verdict == FolderVerdict::Refused)
            refused.push_back(shown);
        else if (verdict == FolderVerdict::Removable && !RemoveFolderTreeW(removeBy))
            leftInPlace.push_back(shown);
    }
    StepProgress(10, 60);

    // Step 3: the registry. When it cannot run (no data file written, or the framework's
    // file error), the folders the run could not remove are still reported, after that
    // box; nothing claims completion.
    ::SetTimer(m_hWnd, TIMER_REGISTRY, 200, nullptr);
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_REGISTRY));
    BOOL ran = FALSE;
    try {
        ran = RemoveRegistryEntries();
    } catch (const CFileException& e) {
        // The data file could not be written: the framework's file error, as its window
        // procedure would report it; the run ends as for a missing data file, not with a
        // bar that climbs to 100.
        ::KillTimer(m_hWnd, TIMER_REGISTRY);
        m_status.SetWindowText("");
        e.ReportError();
        ReportFolders(leftInPlace, refused);
        return;
    }
    if (!ran) {
        ::KillTimer(m_hWnd, TIMER_REGISTRY);
        m_status.SetWindowText("");
        ReportFolders(leftInPlace, refused);
        return;
    }

    if (leftInPlace.empty() && refused.empty()) {
        m_status.SetWindowText(AfxLoadString(IDS_STATUS_DONE));
        ::KillTimer(m_hWnd, TIMER_REGISTRY);
        StepProgress(100, 100);
        MessageBox(AfxLoadString(IDS_DONE), m_strTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_FOLDERS_LEFT));
    ::KillTimer(m_hWnd, TIMER_REGISTRY);
    StepProgress(100, 100);
    ReportFolders(leftInPlace, refused);
}

void CCleanupDlg::ReportFolders(const std::vector<std::string>& leftInPlace, const std::vector<std::string>& refused)
{
    std::string text;
    for (const auto& group : {std::make_pair(IDS_FOLDERS_LEFT, &leftInPlace), std::make_pair(IDS_FOLDERS_REFUSED, &refused)}) {
        if (group.second->empty())
            continue;
        text += (text.empty() ? "" : "\n\n") + AfxLoadString(group.first);
        for (const std::string& folder : *group.second)
            text += "\n" + folder;
    }
    if (!text.empty())
        MessageBox(text, m_strTitle, MB_OK | MB_ICONEXCLAMATION);
}
