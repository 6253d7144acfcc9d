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

// What the uninstall may do with a registered installation folder.
enum class FolderVerdict {
    Removable,   // a folder of its own, reached by the path as spelled
    Missing,     // nothing to remove there
    Refused,     // exists, but may be or hold what is not the suite's
};

// Judges a registered folder by what it is, not by how its path is spelled. Refused when
// the textual test above fails; when the path reaches its folder through a link, a
// junction, a drive alias or a share; when the folder is a volume's root, lies in the
// Windows folder, or is, or holds, a user's profile folder or one of the system's known
// folders (the lists come from the system at run time).
FolderVerdict JudgeRegisteredFolder(const std::string& folder);
