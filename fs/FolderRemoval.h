// File-system tests and removals: single files, and whole folder trees depth first.
#pragma once

#include "platform/WideString.h"

#include <windows.h>
#include <string>

BOOL IsFileExist(const std::string& path);
BOOL IsDirExist(const std::string& path);
// 1 when the folder lists nothing but "." and "..", and when it cannot be listed.
BOOL IsDirEmpty(const char* path);
// Removes an empty folder (path without trailing backslash). On failure 0, with
// ERROR_DIR_NOT_EMPTY in the last-error code when entries remain.
BOOL RemoveDirWithReason(const char* path);
// Removes the folder and everything below it, depth first in listing order; stops at
// the first subfolder that stays. A path without its trailing backslash (or with a
// forward slash) names the same folder; an empty path is refused (0). 1 only when the
// folder is gone (also when there was none); 0 when it, or anything below it, stays,
// also when it cannot be listed at all. Every entry is listed and removed by its exact
// name; links (junctions, directory links, mount points) are removed, never entered,
// and where the system cannot remove a link itself (Wine) it stays with its folder.
BOOL RemoveFolderTree(const char* path);
// The same for a path in UTF-16, taken exactly as it is (for a folder whose path has no
// exact form in the ANSI code page).
BOOL RemoveFolderTreeW(const WString& path);
// 0 for an empty path, 1 when the path names no existing folder, else RemoveFolderTree;
// a folder that is itself a link is only unlinked.
BOOL DeleteFolderIfExists(std::string path);
