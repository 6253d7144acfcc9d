// File-system tests and removals: single files, and whole folder trees depth first.
#pragma once

#include <windows.h>
#include <string>

BOOL IsFileExist(const std::string& path);
BOOL IsDirExist(const std::string& path);
// Deletes one file, also when it is read-only.
BOOL DeleteFileForce(const char* path);
// 1 when the folder lists nothing but "." and "..", and when it cannot be listed.
BOOL IsDirEmpty(const char* path);
// Removes an empty folder (path without trailing backslash). On failure 0, with
// ERROR_DIR_NOT_EMPTY in the last-error code when entries remain.
BOOL RemoveDirWithReason(const char* path);
// Removes the folder and everything below it, depth first in listing order; stops at
// the first subfolder that stays. A path without its trailing backslash gets one; an
// empty path is refused (0). 1 also when the folder cannot be listed (nothing removed).
// Links (junctions, directory links, mount points) are removed, never entered.
BOOL RemoveFolderTree(const char* path);
// 0 for an empty path, 1 when the path names no existing folder, else RemoveFolderTree;
// a folder that is itself a link is only unlinked.
BOOL DeleteFolderIfExists(std::string path);

// Test seam. Wine cannot create a link (see FolderRemoval.cpp), so the tests there mark
// ordinary folders as links through this: when set, it is given every attribute value
// the removal reads to tell a link from a folder, and its answer is used instead.
using LinkAttributesHook = DWORD (*)(const char* path, DWORD attributes);
extern LinkAttributesHook g_linkAttributesHook;
