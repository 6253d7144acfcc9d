#include "fs/FolderRemoval.h"

#include "fs/PathUtil.h"
#include "fs/SafeFileFind.h"
#include "fs/WidePath.h"
#include "platform/seams.h"

#include <vector>

// Removing a folder tree as administrator, in a folder that any program of the user can
// write to (the Start-menu folder) while this tool runs. What another program can put
// there, or do there meanwhile, and what the removal does about it:
//
// - Names the code page cannot hold. The ANSI listing gives every name through the code
//   page's best fit, and in code page 932 that turns U+00A5 (YEN SIGN) into 0x5C, the
//   backslash: a file named "..¥..¥windows¥win.ini" lists as "..\..\windows\win.ini", a
//   folder named "¥" as "\". Below the starting folder everything is therefore listed
//   and acted on by its exact UTF-16 name, never through an ANSI path.
// - A link swapped in. Each folder is held open while the removal works inside it,
//   without delete sharing, so that it cannot be renamed or deleted and replaced; it is
//   listed through that handle, and every entry is opened relative to it, never by path,
//   without following a link (Windows: FILE_OPEN_REPARSE_POINT opens the link itself). An
//   opened entry is then taken only for what the listing said it was: a link only when
//   the handle holds the link itself, anything else only when the system's resolved
//   path of the handle is the folder's own resolved path plus the entry's name.
// - Depth in another program's hands: an explicit work list, one open folder per level.
//
// Links under Wine 8 (measured here; Windows behaves as the comment above relies on):
//   - A Unix symbolic link to a folder lists with FILE_ATTRIBUTE_REPARSE_POINT; one to a
//     file lists as a plain file; a dangling one is not listed at all.
//   - Opening either kind, FILE_OPEN_REPARSE_POINT or not, opens the target: the handle
//     shows no reparse bit and GetFinalPathNameByHandleW gives the target's path.
//   - Whatever is done through such a handle or path is done to the target: delete on
//     close deletes the target file, RemoveDirectory removes an empty target folder,
//     MoveFile moves the target. A link cannot be removed from a Windows program at all,
//     so under Wine a link is left in place and its folder with it.
//   - A folder held open without FILE_SHARE_DELETE cannot be renamed by another Wine
//     program; a Unix program is not stopped by that, which the resolved-path test covers.

namespace {

const char kAllEntries[] = "*.*";
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Bytes the name takes in the ANSI code page (a character without a form there takes one).
size_t AnsiLength(const WString& name)
{
    int n = ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0, nullptr,
                                  nullptr);
    return n > 0 ? static_cast<size_t>(n) : name.size();
}

// The attribute bits of what `handle` holds, INVALID_FILE_ATTRIBUTES when they cannot be
// read. (GetFileInformationByHandle would do, but costs Wine a volume query each time.)
// The only place the removal learns that it holds a link itself.
DWORD HeldAttributes(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return INVALID_FILE_ATTRIBUTES;
    if (seams::heldAsLink != nullptr && seams::heldAsLink(handle))
        tag.FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return tag.FileAttributes;
}

// Deletes what `handle` holds when it is closed. FALSE, with the reason, when the system
// refuses (a folder that is not empty, a file that is read-only).
bool MarkForDeletion(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

struct Listed {
    WString name;
    DWORD attributes;
};

// One folder of the tree while the removal works inside it.
struct OpenFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WString resolved;     // what every entry opened below must resolve under
    size_t ansiLength = 0;     // bytes of the folder's path as the tool would spell it
    std::vector<Listed> entries;
    size_t next = 0;
};

// Lists the folder through its handle. FALSE when the listing cannot even start.
bool ListHeldFolder(OpenFolder& folder)
{
    std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG));
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder.handle, request, buffer.data(),
                                            static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
            DWORD error = ::GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                return true;
            // A listing that ends early leaves the rest in place; the folder then stays.
            return request != FileIdBothDirectoryRestartInfo;
        }
        request = FileIdBothDirectoryInfo;
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            WString name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                folder.entries.push_back({std::move(name), info->FileAttributes});
            if (info->NextEntryOffset == 0)
                break;
            at += info->NextEntryOffset;
        }
    }
}

enum class Opened { Folder, Unlinked, Stays };

// Opens a listed subfolder (or link) for the removal to work inside. A link whose handle
// holds the link itself is removed at once and never entered; anything that does not
// resolve to the listed entry stays as it is.
Opened OpenSubfolder(const OpenFolder& parent, const Listed& entry, OpenFolder& child)
{
    HANDLE h = OpenBeneath(parent.handle, entry.name, FILE_LIST_DIRECTORY | DELETE | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, 0, FILE_OPEN);
    if (h == nullptr)
        return Opened::Stays;
    const DWORD attributes = HeldAttributes(h);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ::CloseHandle(h);
        return Opened::Stays;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The link itself (a junction, a directory link, a mount point): its entries
        // belong to another folder. Only the link goes.
        bool removed = MarkForDeletion(h);
        ::CloseHandle(h);
        return removed ? Opened::Unlinked : Opened::Stays;
    }
    const WString resolved = ResolvedPath(h);
    if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !SameText(resolved, parent.resolved + L"\\" + entry.name)) {
        // Listed as a link but opened as its target (Wine), no longer a folder, or
        // reached through a link swapped in after the listing.
        ::CloseHandle(h);
        return Opened::Stays;
    }
    child.handle = h;
    child.resolved = resolved;
    child.ansiLength = parent.ansiLength + 1 + AnsiLength(entry.name);
    return Opened::Folder;
}

// Deletes one listed file, clearing its read-only attribute first. A failure is passed
// over: the file then keeps its folder in place.
void DeleteListedFile(const OpenFolder& folder, const Listed& entry)
{
    HANDLE h = OpenBeneath(folder.handle, entry.name, DELETE | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_NON_DIRECTORY_FILE, FILE_OPEN);
    if (h == nullptr)
        return;
    // It must be the listed entry itself: a link held as itself resolves to its own
    // path, a link followed (Wine) to its target's.
    bool ok = SameText(ResolvedPath(h), folder.resolved + L"\\" + entry.name);
    if (ok && (entry.attributes & FILE_ATTRIBUTE_READONLY)) {
        // The attributes of a file with several names are those of every name: a
        // read-only one is left rather than changed for the other names too.
        FILE_STANDARD_INFO standard;
        ok = ::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) &&
             standard.NumberOfLinks <= 1;
        if (ok) {
            FILE_BASIC_INFO basic = {};   // zero times: left as they are
            basic.FileAttributes = entry.attributes & kSettableAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            if (basic.FileAttributes == 0)
                basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
        }
    }
    if (ok)
        MarkForDeletion(h);
    ::CloseHandle(h);
}

// The long form of a full path (see LongPathForm); empty for a drive's or share's top
// folder, which is never removed as a tree.
WString LongForm(const WString& full)
{
    if (full.size() > 3 && full[1] == L':' && full[2] == L'\\')
        return LongPathForm(full);
    if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' && full[2] != L'.') {
        size_t server = full.find(L'\\', 2);
        size_t share = server == WString::npos ? server : full.find(L'\\', server + 1);
        if (share != WString::npos && share + 1 < full.size())
            return LongPathForm(full);
    }
    return WString();
}

// Closes every folder still held after the removal stopped.
BOOL Stop(std::vector<OpenFolder>& held, DWORD error)
{
    for (OpenFolder& f : held)
        ::CloseHandle(f.handle);
    held.clear();
    ::SetLastError(error);
    return FALSE;
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
    // An empty path would list the current folder.
    if (path == nullptr || path[0] == '\0') {
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    // A trailing forward slash names the folder as a backslash does ('/' is never the
    // second byte of a double-byte character).
    std::string s = path;
    if (s.back() == '/')
        s.back() = '\\';
    s = AddBackslash(s);

    // Only a path that converts exactly: one that only a best fit could turn into ANSI
    // names another folder.
    WString wide;
    if (!ToWideExactly(s, wide)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    return RemoveFolderTreeW(wide);
}

BOOL RemoveFolderTreeW(const WString& path)
{
    const WString full = path.empty() ? WString() : FullPathW(path);
    const WString spelled = LongForm(full);
    if (spelled.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    // The listing limit of the ANSI calls: the folder's pattern must fit in MAX_PATH.
    const size_t ansiLength = AnsiLength(full);
    if (ansiLength + 1 + sizeof kAllEntries > MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }

    std::vector<OpenFolder> held(1);
    OpenFolder& top = held.front();
    top.handle = ::CreateFileW(spelled.c_str(), FILE_LIST_DIRECTORY | DELETE | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (top.handle == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        held.clear();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return TRUE;   // nothing of that name: the folder is gone
        ::SetLastError(error);
        return FALSE;
    }
    const DWORD attributes = HeldAttributes(top.handle);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Stop(held, ::GetLastError());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The folder is itself a link: only the link goes.
        if (!MarkForDeletion(top.handle))
            return Stop(held, ::GetLastError());
        ::CloseHandle(top.handle);
        return TRUE;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(top.handle);
        return TRUE;   // a file of that name: there is no such folder
    }
    top.resolved = ResolvedPath(top.handle);
    if (!IsResolvedAs(top.resolved, full)) {
        // Reached through a link, or a link that Wine shows as its target: what the
        // handle holds is not the folder the path spells, and nothing in it is touched.
        return Stop(held, ERROR_CANT_RESOLVE_FILENAME);
    }
    top.ansiLength = ansiLength;
    if (!ListHeldFolder(top))
        return Stop(held, ::GetLastError());

    while (!held.empty()) {
        OpenFolder& folder = held.back();
        if (folder.next < folder.entries.size()) {
            const Listed& entry = folder.entries[folder.next++];
            if (seams::beforeEntryOpen != nullptr)
                seams::beforeEntryOpen(folder.resolved.c_str(), entry.name.c_str());
            if (!(entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
                DeleteListedFile(folder, entry);
                continue;
            }
            // A subfolder that stays keeps this folder and every folder above it in
            // place, and the entries not yet handled are left alone.
            if (folder.ansiLength + 1 + AnsiLength(entry.name) + 1 + sizeof kAllEntries > MAX_PATH)
                return Stop(held, ERROR_DIR_NOT_EMPTY);
            OpenFolder child;
            Opened opened = OpenSubfolder(folder, entry, child);
            if (opened == Opened::Stays)
                return Stop(held, ERROR_DIR_NOT_EMPTY);
            if (opened == Opened::Unlinked)
                continue;
            if (!ListHeldFolder(child)) {
                ::CloseHandle(child.handle);
                return Stop(held, ERROR_DIR_NOT_EMPTY);
            }
            held.push_back(std::move(child));
            continue;
        }
        // Every entry handled: the folder itself, by the handle that held it.
        if (!MarkForDeletion(folder.handle)) {
            DWORD error = ::GetLastError();
            return Stop(held, held.size() > 1 ? static_cast<DWORD>(ERROR_DIR_NOT_EMPTY) : error);
        }
        ::CloseHandle(folder.handle);
        held.pop_back();
    }
    // Gone only when nothing of that name is left.
    if (::GetFileAttributesW(spelled.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFolderIfExists(std::string path)
{
    if (path.empty())
        return FALSE;
    if (!IsDirExist(path))
        return TRUE;
    return RemoveFolderTree(path.c_str());
}
