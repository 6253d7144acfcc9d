// Which folders the uninstall may remove at all.
#pragma once

#include "platform/WideString.h"

#include <windows.h>
#include <string>
#include <vector>

// The system's well-known folders (Windows, system, Program Files and Common Files, both
// kinds, ProgramData, the profiles folder, the user's profile, Desktop, Documents,
// AppData, both Start menus and their Programs folders, the temporary folder unless
// `withTemp` is false), each ending in a backslash.
std::vector<std::string> WellKnownFolders(bool withTemp = true);

// TRUE when `folder` may be removed recursively: absolute (a drive letter or
// \\server\share), no "." or ".." component and no component ending in a dot or a blank,
// at least one level below the drive root or share, and neither one of `wellKnown` nor
// an ancestor of one (compared case-insensitively, lead-byte aware, after expanding
// short names).
bool IsRemovableFolder(const std::string& folder, const std::vector<std::string>& wellKnown);

// What the uninstall may do with a folder that something else names.
enum class FolderVerdict {
    Removable,   // a folder of its own, reached as it must be
    Missing,     // nothing to remove there
    Refused,     // exists, but may be or hold what is not the suite's
};

// Every judgement below refuses, once the folder is resolved: a share, a substituted or a
// network drive; a volume's root; the Windows folder and anything in it; the profiles
// folder and every folder directly in it; a profile, a known or a special folder of the
// system, and any folder that holds one (the lists come from the system at run time).

// A registered installation folder: besides the textual test above, it must be reached
// by its path exactly as spelled (short names expanded): no best fit, no link, junction,
// drive alias or share on the way.
FolderVerdict JudgeRegisteredFolder(const std::string& folder);

// The running user's profile folder, as the machine's profile list records it for the
// SID of the process token (never a value the user can change); empty when unknown.
WString OwnProfileFolder();

// The product's folder `name` in the Start-menu programs folder `programs`, a path the
// user's own settings decide. Removable only when, resolved, it is the programs folder's
// resolved path plus `name` (no link at the folder itself), and lies inside `profile`
// resolved (links on the way to the profile or to the programs folder are the user's own
// arrangement); `removeBy` then receives its resolved path, by which to remove it.
FolderVerdict JudgeStartMenuFolder(const WString& programs, const WString& name, const WString& profile,
                                   WString& removeBy);

// Opens the folder `path` once (following links on the way) and judges the folder the
// handle holds. The handle, to work in by names relative to it, with `resolved` its
// resolved path; INVALID_HANDLE_VALUE when it cannot be opened or is refused.
HANDLE OpenJudgedFolder(const WString& path, WString& resolved);
