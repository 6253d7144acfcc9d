// The uninstall run behind the Uninstall button.
#include "ui/CleanupDlg.h"

void CCleanupDlg::OnUninstall() {}

BOOL CCleanupDlg::DeleteFolderIfExists(std::string) { return FALSE; }
std::string CCleanupDlg::ExtractRegDataFile() { return std::string(); }
BOOL CCleanupDlg::RemoveRegistryEntries() { return FALSE; }
BOOL CCleanupDlg::RemoveRegistryEntry(const std::string&, const std::string&) { return FALSE; }
