#include "fs/FolderRemoval.h"

#include "fs/PathUtil.h"
#include "fs/SafeFileFind.h"

// Links under Wine 8 (observed here, not on Windows):
//   - CreateSymbolicLinkA answers TRUE and creates nothing, with or without
//     SYMBOLIC_LINK_FLAG_DIRECTORY; "mklink /d" and "mklink" therefore report success
//     and create nothing either. FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED,
//     "mklink /j" fails. A Windows program cannot make a link there at all.
//   - Unix symbolic links made from outside (the prefix's own Documents, Desktop, ...)
//     list as FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT when they point
//     to a folder, and as plain files without the reparse bit when they point to a
//     file. GetFileAttributesA reports the reparse bit for "link" but not for "link\".
//   - Wine resolves such links before acting on them: RemoveDirectoryA fails with
//     ERROR_DIR_NOT_EMPTY while the target holds entries and removes the target (not
//     the link) once it is empty; DeleteFileA on a file link deletes the target file;
//     MoveFileA moves the target.
// On Windows, RemoveDirectoryA on a junction or directory symbolic link and DeleteFileA
// on a file symbolic link remove the link and leave the target alone, which is what
// the removal below relies on.
LinkAttributesHook g_linkAttributesHook = nullptr;

namespace {

const char kAllEntries[] = "*.*";

bool IsLink(const char* path, DWORD attributes)
{
    if (g_linkAttributesHook != nullptr)
        attributes = g_linkAttributesHook(path, attributes);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The name under which a folder path's own entry is queried: without its trailing
// one-byte backslash. Empty for a drive's top folder (C:\ or C: or a lone \), which is
// never a link and whose shortened form would name the current folder instead.
std::string OwnEntryName(const std::string& path)
{
    const int n = static_cast<int>(path.size());
    const bool trailing = ReverseFindChar(path.c_str(), '\\') == n - 1;
    const int len = trailing ? n - 1 : n;
    if (len == 0 || path[len - 1] == ':')
        return std::string();
    return path.substr(0, len);
}

}  // namespace

BOOL IsFileExist(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? TRUE : FALSE;
}

BOOL IsDirExist(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TRUE : FALSE;
}

BOOL DeleteFileForce(const char* path)
{
    DWORD attributes = ::GetFileAttributesA(path);
    // Only a read-only file needs its attributes rewritten. Skipping the rewrite
    // otherwise keeps it off file links: SetFileAttributesA acts on a link's target,
    // and would give the target the link's own attribute bits.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return ::DeleteFileA(path);
}

BOOL IsDirEmpty(const char* path)
{
    CSafeFileFind finder;
    if (!finder.FindFile(AddBackslash(path) + kAllEntries))
        return TRUE;
    BOOL more;
    do {
        more = finder.FindNextFile();
        if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) || !finder.IsDots())
            return FALSE;
    } while (more);
    return TRUE;
}

BOOL RemoveDirWithReason(const char* path)
{
    if (::RemoveDirectoryA(path))
        return TRUE;
    DWORD error = ::GetLastError();
    if (!IsDirEmpty(path))
        error = ERROR_DIR_NOT_EMPTY;
    ::SetLastError(error);
    return FALSE;
}

BOOL RemoveFolderTree(const char* path)
{
    // Without the trailing backslash "*.*" would be listed beside the folder, and an
    // empty path would list the current folder.
    if (path[0] == '\0')
        return FALSE;
    std::string s = AddBackslash(path);
    {
        CSafeFileFind finder;
        if (!finder.FindFile(s + kAllEntries))
            return TRUE;
        BOOL more;
        do {
            more = finder.FindNextFile();
            const std::string entry = finder.GetFilePath();
            if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY)) {
                if (finder.IsDots())
                    continue;
                // A junction, directory link or mount point is removed as it stands; its
                // entries belong to another folder.
                if (IsLink(entry.c_str(), finder.GetAttributes())) {
                    if (!RemoveDirWithReason(entry.c_str()))
                        return FALSE;
                } else if (!RemoveFolderTree((entry + '\\').c_str())) {
                    return FALSE;
                }
            } else {
                DeleteFileForce(entry.c_str());
            }
        } while (more);
        finder.Close();
    }
    s.erase(s.size() - 1);
    return RemoveDirWithReason(s.c_str());
}

BOOL DeleteFolderIfExists(std::string path)
{
    if (path.empty())
        return FALSE;
    if (!IsDirExist(path))
        return TRUE;
    // A folder that is itself a link is unlinked, not emptied. The link's own bits are
    // those of the path without its trailing backslash: with it, Wine already reports
    // the target's.
    const std::string link = OwnEntryName(path);
    if (!link.empty() && IsLink(link.c_str(), ::GetFileAttributesA(link.c_str())))
        return RemoveDirWithReason(link.c_str());
    return RemoveFolderTree(path.c_str());
}
