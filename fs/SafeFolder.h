// Which folders the uninstall may remove at all.
#pragma once

#include <string>
#include <vector>

// The system's well-known folders (Windows, system, Program Files and Common Files, both
// kinds, ProgramData, the profiles folder, the user's profile, Desktop, Documents,
// AppData, both Start menus and their Programs folders, the temporary folder), each
// ending in a backslash.
std::vector<std::string> WellKnownFolders();

// TRUE when `folder` may be removed recursively: absolute (a drive letter or
// \\server\share), no "." or ".." component and no component ending in a dot or a blank,
// at least one level below the drive root or share, and neither one of `wellKnown` nor
// an ancestor of one (compared case-insensitively, lead-byte aware, after expanding
// short names).
bool IsRemovableFolder(const std::string& folder, const std::vector<std::string>& wellKnown);
