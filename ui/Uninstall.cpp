// The uninstall run behind the Uninstall button, and the dialog's removal steps.
#include "ui/CleanupDlg.h"

#include "fs/FolderRemoval.h"
#include "fs/PathUtil.h"
#include "fs/SafeFolder.h"
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

// Whether `ansi`, the ANSI path of a special folder, is its exact path: converted without
// a best fit and without a character the code page lacks.
bool HasExactAnsiForm(int csidl, const char* ansi)
{
    wchar_t wide[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, wide, csidl, FALSE))
        return false;
    char exact[MAX_PATH * 2 + 2] = {};
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, exact, sizeof exact, nullptr,
                                  &usedDefault);
    return n > 0 && !usedDefault && std::string(exact) == ansi;
}

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

    // Step 2: the product's folder in the current user's Start-menu programs folder.
    // Without a programs folder the step is skipped: the path would otherwise name a
    // folder at the root of the current drive.
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_STARTMENU));
    char programs[MAX_PATH + 1] = {};
    ::SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
    if (programs[0] != '\0') {
        std::string startMenu = AddBackslash(programs) + AddBackslash(product);
        // A programs folder whose path the code page cannot hold comes back in a best-fit
        // form that names another folder (U+00A5 becomes a backslash): left in place.
        if (!HasExactAnsiForm(CSIDL_PROGRAMS, programs) || !DeleteFolderIfExists(startMenu))
            leftInPlace.push_back(startMenu);
    }
    StepProgress(10, 60);

    // Step 3: the registry.
    ::SetTimer(m_hWnd, TIMER_REGISTRY, 200, nullptr);
    m_status.SetWindowText(AfxLoadString(IDS_STATUS_REGISTRY));
    BOOL ran;
    try {
        ran = RemoveRegistryEntries();
    } catch (const CFileException&) {
        // The data file could not be written: the framework reports the file error; the
        // run ends as for a missing data file, not with a bar that climbs to 100.
        ::KillTimer(m_hWnd, TIMER_REGISTRY);
        m_status.SetWindowText("");
        throw;
    }
    if (!ran) {
        ::KillTimer(m_hWnd, TIMER_REGISTRY);
        m_status.SetWindowText("");
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
    std::string text;
    for (const auto& group : {std::make_pair(IDS_FOLDERS_LEFT, &leftInPlace), std::make_pair(IDS_FOLDERS_REFUSED, &refused)}) {
        if (group.second->empty())
            continue;
        text += (text.empty() ? "" : "\n\n") + AfxLoadString(group.first);
        for (const std::string& folder : *group.second)
            text += "\n" + folder;
    }
    MessageBox(text, m_strTitle, MB_OK | MB_ICONEXCLAMATION);
}
