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
// Removes the folder (path ends in a backslash) and everything below it.
BOOL RemoveFolderTree(const char* path);
// 0 for an empty path, 1 when the path names no existing folder, else RemoveFolderTree.
BOOL DeleteFolderIfExists(std::string path);
