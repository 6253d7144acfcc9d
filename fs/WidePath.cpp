#include "fs/WidePath.h"

#include "platform/seams.h"

#include <winternl.h>

#include <vector>

WString ToWide(const std::string& ansi)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0)
        return WString();
    WString wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    return wide;
}

bool ToWideExactly(const std::string& ansi, WString& wide)
{
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()),
                                  nullptr, 0);
    if (n <= 0)
        return false;
    wide.assign(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    BOOL usedDefault = FALSE;
    int back = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr,
                                     &usedDefault);
    std::string again(static_cast<size_t>(back > 0 ? back : 0), '\0');
    if (back > 0)
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, &again[0], back, nullptr, &usedDefault);
    return !usedDefault && again == ansi;
}

bool ToAnsiExactly(const WString& wide, std::string& ansi)
{
    ansi.clear();
    if (wide.empty())
        return true;
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    ansi.assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &ansi[0], n,
                          nullptr, &usedDefault);
    WString back;
    return !usedDefault && ToWideExactly(ansi, back) && back == wide;
}

std::string DisplayForm(const WString& wide)
{
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, "?", nullptr);
    if (n <= 0)
        return std::string();
    std::string ansi(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &ansi[0], n, "?",
                          nullptr);
    return ansi;
}

WString FullPathW(const WString& path)
{
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return WString();
    WString full(size, L'\0');
    DWORD got = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (got == 0 || got >= size)
        return WString();
    full.resize(got);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

WString LongPathForm(const WString& full)
{
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' && full[2] != L'.')
        return L"\\\\?\\UNC\\" + full.substr(2);
    return full;
}

bool SameText(const WString& a, const WString& b)
{
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

WString ResolvedPath(HANDLE handle)
{
    WString path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= path.size()) {
        path.assign(n + 1, L'\0');
        n = ::GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n >= path.size())
            return WString();
    }
    path.resize(n);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        path = L"\\\\" + path.substr(8);
    else if (path.compare(0, 4, L"\\\\?\\") == 0)
        path = path.substr(4);
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

WString LongNames(const WString& full)
{
    WString longer(32768, L'\0');
    DWORD n = ::GetLongPathNameW(full.c_str(), &longer[0], static_cast<DWORD>(longer.size()));
    if (n == 0 || n >= longer.size())
        return full;
    const WString expanded = FullPathW(longer.substr(0, n));
    return expanded.empty() ? full : expanded;
}

bool IsResolvedAs(const WString& resolved, const WString& full)
{
    // A short (8.3) name is the folder's own other name, not a link.
    return !resolved.empty() && (SameText(resolved, full) || SameText(resolved, LongNames(full)));
}

namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);

// ntdll is in every process; the relative open and rename have no Win32 form.
struct NtCalls {
    NtCreateFileFn createFile = nullptr;
    RtlNtStatusToDosErrorFn toDosError = nullptr;
    NtCalls()
    {
        HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
        if (ntdll != nullptr) {
            createFile = reinterpret_cast<NtCreateFileFn>(::GetProcAddress(ntdll, "NtCreateFile"));
            toDosError = reinterpret_cast<RtlNtStatusToDosErrorFn>(::GetProcAddress(ntdll, "RtlNtStatusToDosError"));
        }
    }
    void Fail(NTSTATUS status) const
    {
        ::SetLastError(toDosError != nullptr ? toDosError(status) : ERROR_ACCESS_DENIED);
    }
};

const NtCalls& Nt()
{
    static const NtCalls calls;
    return calls;
}

// FILE_RENAME_INFORMATION, which the headers do not all have.
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

const int kFileRenameInformation = 10;

}  // namespace

HANDLE OpenBeneath(HANDLE folder, const WString& name, ACCESS_MASK access, ULONG share, ULONG options,
                   ULONG disposition)
{
    const NtCalls& nt = Nt();
    if (nt.createFile == nullptr || name.empty() || name.size() > 32767) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name.c_str());
    unicodeName.Length = unicodeName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    NTSTATUS status = nt.createFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                    share, disposition,
                                    options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                                        FILE_OPEN_FOR_BACKUP_INTENT,
                                    nullptr, 0);
    if (status < 0) {
        nt.Fail(status);
        return nullptr;
    }
    return handle;
}

BOOL RenameBeneath(HANDLE file, HANDLE folder, const WString& name, bool replace)
{
    if (seams::setFileInformation == nullptr || name.empty() || name.size() > 32767) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    std::vector<BYTE> buffer(sizeof(RenameInformation) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
    info->replaceIfExists = replace ? TRUE : FALSE;
    info->rootDirectory = folder;
    info->fileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    memcpy(info->fileName, name.data(), name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK io = {};
    const LONG status = seams::setFileInformation(file, &io, info, static_cast<ULONG>(buffer.size()),
                                                  kFileRenameInformation);
    if (status < 0) {
        Nt().Fail(status);
        return FALSE;
    }
    return TRUE;
}
