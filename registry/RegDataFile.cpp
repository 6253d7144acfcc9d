#include "registry/RegDataFile.h"

#include "fs/FolderRemoval.h"
#include "platform/afxfile.h"
#include "platform/afxwin.h"
#include "platform/seams.h"
#include "res/resource.h"

// The temporary folder belongs to the user, and any program of the user can put a link
// where the file goes. Measured under Wine 8 with a Unix symlink at the path: attributes
// and the listing show an ordinary file (0x20, the target's file index, no reparse bit);
// SetFileAttributes through it changes the target, and DeleteFile, or a deletion through a
// handle, deletes the target and leaves the link. A hard link shares its attributes with
// its other names. So nothing here opens, changes or deletes what is at the path: the
// file is written under a fresh name (CREATE_NEW fails on any existing name, a dangling
// link included) and renamed over the path, which replaces a link itself, as a whole.
// Wine renames over a read-only file too; Windows refuses with ERROR_ACCESS_DENIED, and
// the earlier copy is then moved aside first and removed only when it is a plain file.

std::string LoadRegData()
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC info = ::FindResourceExA(module, REGDATA_TYPE_NAME, MAKEINTRESOURCEA(IDR_REGDATA),
                                   MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (info == nullptr)
        return std::string();
    HGLOBAL loaded = ::LoadResource(module, info);
    const char* bytes = loaded != nullptr ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (bytes == nullptr)
        return std::string();
    return std::string(bytes, ::SizeofResource(module, info));
}

namespace {

// A name beside `path` that nothing has yet, taken by `file` (opened for writing, new).
std::string CreateBeside(const std::string& path, CFile& file)
{
    for (DWORD attempt = 0; attempt < 64; ++attempt) {
        char suffix[40];
        wsprintfA(suffix, ".%lx-%lx.tmp", ::GetCurrentProcessId(), ::GetTickCount() + attempt);
        std::string name = path + suffix;
        if (file.Open(name, CFile::modeCreate | CFile::modeCreateNew | CFile::modeWrite | CFile::shareExclusive))
            return name;
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return std::string();
}

// Whether `handle` holds the entry `path` itself, not the target of a link there (Wine
// opens a Unix symbolic link's target, and shows it as an ordinary file).
bool IsHeldAt(HANDLE handle, const std::string& path)
{
    char full[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    char resolved[MAX_PATH * 2 + 8];
    DWORD r = ::GetFinalPathNameByHandleA(handle, resolved, sizeof resolved, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof full || r < 4 || r >= sizeof resolved)
        return false;
    return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, resolved + 4, static_cast<int>(r - 4), full,
                            static_cast<int>(n)) == CSTR_EQUAL;
}

// Removes a file moved aside from the path, unless it is a link of any kind: then it stays.
// Everything goes through one handle, so that nothing put at that name meanwhile is acted on.
void RemoveIfPlainFile(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks == 1 &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsHeldAt(h, path)) {
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            FILE_BASIC_INFO basic = {};   // zero times: left as they are
            basic.FileAttributes = info.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            if (basic.FileAttributes == 0)
                basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
        }
        FILE_DISPOSITION_INFO dispose = {TRUE};
        ::SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
    }
    ::CloseHandle(h);
}

// Deletes the file at `path` through a handle, only when it is still the file `ours`
// describes (same volume, same file index): another program may have replaced it.
void DeleteIfSame(const std::string& path, const BY_HANDLE_FILE_INFORMATION& ours)
{
    HANDLE h = ::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION now = {};
    if (::GetFileInformationByHandle(h, &now) && now.dwVolumeSerialNumber == ours.dwVolumeSerialNumber &&
        now.nFileIndexHigh == ours.nFileIndexHigh && now.nFileIndexLow == ours.nFileIndexLow) {
        FILE_DISPOSITION_INFO dispose = {TRUE};
        ::SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
    }
    ::CloseHandle(h);
}

}  // namespace

std::string ExtractRegDataFile()
{
    const std::string bytes = LoadRegData();
    if (bytes.empty())
        return std::string();

    char folder[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder)
        return std::string();
    // GetTempPathA ends the folder in a backslash: the name follows directly.
    const std::string path = std::string(folder) + AfxLoadString(IDS_REGDATA_FILE);

    CFile file;
    const std::string fresh = CreateBeside(path, file);
    if (fresh.empty())
        return std::string();
    BY_HANDLE_FILE_INFORMATION ours = {};
    ::GetFileInformationByHandle(file, &ours);
    try {
        file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
        file.Close();
    } catch (CFileException& e) {
        // Never leave a cut-off data file behind (after a failed close, the handle is gone).
        file.Discard();
        DeleteIfSame(fresh, ours);
        e.m_strFileName = path;
        throw;
    }

    if (!::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const std::string aside = path + ".old";
        bool moved = ::GetLastError() == ERROR_ACCESS_DENIED &&
                     ::MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING) &&
                     ::MoveFileExA(fresh.c_str(), path.c_str(), 0);
        if (!moved) {
            DeleteIfSame(fresh, ours);   // the earlier copy is held open by another program
            return std::string();
        }
        RemoveIfPlainFile(aside);
    }
    if (seams::afterRegDataWritten != nullptr)
        seams::afterRegDataWritten(path.c_str());
    return path;
}
