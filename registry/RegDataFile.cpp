#include "registry/RegDataFile.h"

#include "fs/SafeFolder.h"
#include "fs/WidePath.h"
#include "platform/afxfile.h"
#include "platform/afxwin.h"
#include "platform/seams.h"
#include "res/resource.h"

// The temporary folder is the user's: the user names it (TMP and TEMP, set in the user's
// own environment without elevation) and any program of the user can put a link at it,
// in it, or where the file goes. So:
// - The folder is opened once and judged by what the handle holds (see OpenJudgedFolder):
//   never the Windows folder nor anything in it, a drive's root, a profile or a known
//   folder. A folder that fails gets no copy.
// - Everything else happens by names relative to that handle, never by a path built
//   again, so that a link put above or at the folder meanwhile moves nothing elsewhere.
// - Nothing already at the file's name is opened, changed or deleted through a path. The
//   copy is created under a fresh name (which fails on any existing name, a dangling link
//   included) and renamed over the name, which replaces a link itself, as a whole.
//   Measured under Wine 8 with a Unix symlink at the name: attributes and the listing
//   show an ordinary file (the target's); attributes set through it change the target,
//   and a deletion deletes the target and leaves the link.
// - Wine renames over a read-only file too; Windows refuses (access denied). The earlier
//   copy is then moved aside through one handle, and cleared and deleted through it, but
//   only when that handle holds a plain file of one name at that very place.

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

// A fresh name beside `name` ("VnQRXReg.dat.<process>-<tick>.tmp"), taken by a new file in
// `folder`, opened to write, with the right to rename and delete it. nullptr when none
// could be created.
HANDLE CreateBeside(HANDLE folder, const WString& name, const wchar_t* kind)
{
    for (DWORD attempt = 0; attempt < 64; ++attempt) {
        wchar_t suffix[40];
        wsprintfW(suffix, L".%lx-%lx.%ls", ::GetCurrentProcessId(), ::GetTickCount() + attempt, kind);
        HANDLE h = OpenBeneath(folder, name + suffix, GENERIC_WRITE | DELETE, 0, FILE_NON_DIRECTORY_FILE, FILE_CREATE);
        if (h != nullptr || (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS))
            return h;
    }
    return nullptr;
}

// A fresh name beside `name` that nothing has yet, for the earlier copy moved aside.
WString AsideName(HANDLE folder, const WString& name)
{
    for (DWORD attempt = 0; attempt < 64; ++attempt) {
        wchar_t suffix[40];
        wsprintfW(suffix, L".%lx-%lx.old", ::GetCurrentProcessId(), ::GetTickCount() + attempt);
        HANDLE h = OpenBeneath(folder, name + suffix, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                               FILE_SHARE_DELETE, 0, FILE_OPEN);
        if (h != nullptr)
            ::CloseHandle(h);
        else if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return name + suffix;
    }
    return WString();
}

// Windows will not rename over a read-only file: the earlier copy at `name` goes aside
// and the new one `fresh` takes its place. Only a plain file of one name, held at that
// very place (not a link's target), is moved; it is then cleared and deleted through the
// same handle. FALSE, with nothing changed, otherwise.
bool ReplaceReadOnly(HANDLE folder, const WString& folderResolved, const WString& name, HANDLE fresh)
{
    HANDLE earlier = OpenBeneath(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_NON_DIRECTORY_FILE,
                                 FILE_OPEN);
    if (earlier == nullptr)
        return false;
    FILE_BASIC_INFO basic = {};
    FILE_STANDARD_INFO standard = {};
    bool moved = false;
    if (::GetFileInformationByHandleEx(earlier, FileBasicInfo, &basic, sizeof basic) &&
        ::GetFileInformationByHandleEx(earlier, FileStandardInfo, &standard, sizeof standard) &&
        standard.NumberOfLinks == 1 && !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        SameText(ResolvedPath(earlier), folderResolved + L"\\" + name)) {
        const WString aside = AsideName(folder, name);
        moved = !aside.empty() && RenameBeneath(earlier, folder, aside, false);
        if (moved && !RenameBeneath(fresh, folder, name, false)) {
            RenameBeneath(earlier, folder, name, false);   // put back what was there
            moved = false;
        }
    }
    if (moved) {
        FILE_BASIC_INFO cleared = {};   // zero times: left as they are
        cleared.FileAttributes = basic.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (cleared.FileAttributes == 0)
            cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(earlier, FileBasicInfo, &cleared, sizeof cleared);
        FILE_DISPOSITION_INFO dispose = {TRUE};
        ::SetFileInformationByHandle(earlier, FileDispositionInfo, &dispose, sizeof dispose);
    }
    ::CloseHandle(earlier);
    return moved;
}

// The temporary folder held open for the time of one extraction.
struct HeldTemp {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~HeldTemp()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};

}  // namespace

std::string ExtractRegDataFile()
{
    const std::string bytes = LoadRegData();
    if (bytes.empty())
        return std::string();

    wchar_t folder[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH)
        return std::string();
    const WString name = ToWide(AfxLoadString(IDS_REGDATA_FILE));
    // The path the caller is told: the folder as the system names it (ending in a
    // backslash) and the name, only when the code page can spell it exactly.
    std::string path;
    if (!ToAnsiExactly(WString(folder) + name, path))
        return std::string();
    HeldTemp temp;
    WString resolved;
    temp.handle = OpenJudgedFolder(folder, resolved);
    if (temp.handle == INVALID_HANDLE_VALUE)
        return std::string();

    HANDLE fresh = CreateBeside(temp.handle, name, L"tmp");
    if (fresh == nullptr)
        return std::string();
    CFile file;
    file.Attach(fresh, path);
    try {
        file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    } catch (CFileException& e) {
        file.Discard();   // never leave a cut-off data file behind
        e.m_strFileName = path;
        throw;
    }
    if (!RenameBeneath(file, temp.handle, name, true) &&
        !(::GetLastError() == ERROR_ACCESS_DENIED && ReplaceReadOnly(temp.handle, resolved, name, file))) {
        file.Discard();   // the earlier copy is held open by another program, or is not a plain file
        return std::string();
    }
    file.Close();
    if (seams::afterRegDataWritten != nullptr)
        seams::afterRegDataWritten(path.c_str());
    return path;
}
