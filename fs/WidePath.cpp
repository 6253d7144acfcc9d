#include "fs/WidePath.h"

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

bool IsResolvedAs(const WString& resolved, const WString& full)
{
    if (resolved.empty())
        return false;
    if (SameText(resolved, full))
        return true;
    // A short (8.3) name is the folder's own other name, not a link.
    WString longer(32768, L'\0');
    DWORD n = ::GetLongPathNameW(full.c_str(), &longer[0], static_cast<DWORD>(longer.size()));
    return n != 0 && n < longer.size() && SameText(resolved, FullPathW(longer.substr(0, n)));
}
