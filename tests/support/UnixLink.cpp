#include "UnixLink.h"

#include <windows.h>

#include <vector>

namespace {

using UnixNameFn = char*(CDECL*)(LPCWSTR);

UnixNameFn UnixNameCall()
{
    static UnixNameFn fn = reinterpret_cast<UnixNameFn>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    return fn;
}

// The Unix path of a Windows path whose folder exists; the last component need not.
std::string UnixName(const std::wstring& path)
{
    UnixNameFn fn = UnixNameCall();
    if (fn == nullptr)
        return std::string();
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return std::string();
    std::wstring parent = path.substr(0, slash);
    if (parent.size() == 2 && parent[1] == L':')
        parent += L'\\';   // "C:" alone is the drive's current folder
    char* folder = fn(parent.c_str());
    if (folder == nullptr)
        return std::string();
    std::string unix = folder;
    ::HeapFree(::GetProcessHeap(), 0, folder);
    const std::wstring last = path.substr(slash + 1);
    int n = ::WideCharToMultiByte(CP_UTF8, 0, last.c_str(), static_cast<int>(last.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string name(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, last.c_str(), static_cast<int>(last.size()), &name[0], n, nullptr, nullptr);
    return (!unix.empty() && unix.back() == '/' ? unix : unix + "/") + name;
}

// Linux system calls straight from the program: Wine runs Windows code as an ordinary
// Linux process and does not stand between it and the kernel.
long LinuxCall2(long number32, long number64, const char* a, const char* b = nullptr)
{
    long result;
#if defined(__x86_64__)
    (void)number32;
    __asm__ volatile("syscall" : "=a"(result) : "a"(number64), "D"(a), "S"(b) : "rcx", "r11", "memory");
#else
    (void)number64;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number32), "b"(a), "c"(b) : "memory");
#endif
    return result;
}

std::vector<std::string>& MadeLinks()
{
    static std::vector<std::string> links;
    return links;
}

}  // namespace

bool CanMakeUnixLinks() { return UnixNameCall() != nullptr; }

const char* NoUnixLinks() { return "needs a link made from the Unix side of Wine, and this system makes none"; }

bool MakeUnixLink(const std::wstring& link, const std::wstring& target)
{
    const std::string l = UnixName(link), t = UnixName(target);
    if (l.empty() || t.empty())
        return false;
    if (LinuxCall2(83, 88, t.c_str(), l.c_str()) != 0)   // symlink(target, link)
        return false;
    MadeLinks().push_back(l);
    return true;
}

bool MakeUnixDrive(wchar_t letter, const std::wstring& target)
{
    // The drives are links in the prefix's dosdevices folder, which holds "c:".
    std::string c = UnixName(L"C:\\windows\\x");
    const std::string t = UnixName(target);
    size_t at = c.rfind("/c:/");
    if (at == std::string::npos || t.empty())
        return false;
    const std::string link = c.substr(0, at + 1) + static_cast<char>(::towlower(letter)) + ":";
    if (LinuxCall2(83, 88, t.c_str(), link.c_str()) != 0)
        return false;
    MadeLinks().push_back(link);
    return true;
}

bool UnixRename(const std::wstring& from, const std::wstring& to)
{
    const std::string f = UnixName(from), t = UnixName(to);
    if (f.empty() || t.empty())
        return false;
    return LinuxCall2(38, 82, f.c_str(), t.c_str()) == 0;   // rename(from, to)
}

void RemoveMadeUnixLinks()
{
    // Wine lists no dangling link, and removes a link's target instead of the link: only
    // the kernel's own call removes what these helpers made.
    for (const std::string& link : MadeLinks())
        LinuxCall2(10, 87, link.c_str());   // unlink(link)
    MadeLinks().clear();
}
