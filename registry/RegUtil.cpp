#include "registry/RegUtil.h"

#include "fs/WidePath.h"
#include "platform/UserSid.h"

#include <vector>

namespace {
const DWORD kNameBuffer = 261;   // 260 characters and the terminator
}

HKEY RegOpen(HKEY root, std::string subKey, BOOL readOnly)
{
    HKEY key = nullptr;
    REGSAM access = readOnly ? KEY_READ : KEY_ALL_ACCESS;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

BOOL RegClose(HKEY key)
{
    if (key == nullptr)
        return TRUE;
    return ::RegCloseKey(key) == ERROR_SUCCESS ? TRUE : FALSE;
}

std::string RegQueryString(HKEY key, std::string valueName, std::string defaultValue)
{
    if (key == nullptr)
        return defaultValue;
    DWORD size = 0;
    if (::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return defaultValue;
    // One more zero byte than the data: the text is terminated whether or not the
    // stored data ends in a zero.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    DWORD length = size;
    LONG result = ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(buffer.data()), &length);
    if (result != ERROR_SUCCESS)
        return defaultValue;   // for instance the value grew between the two queries
    return std::string(buffer.data());
}

std::string RegReadString(HKEY root, std::string subKey, std::string valueName, std::string defaultValue)
{
    HKEY key = RegOpen(root, subKey, TRUE);
    std::string text = RegQueryString(key, valueName, defaultValue);
    RegClose(key);
    return text;
}

namespace {

// The name of a key's one value, looked at: TRUE when it has a name. A key has at most one
// unnamed value, so it is only ever needed when the key holds exactly one value.
BOOL OnlyValueIsNamed(HKEY key)
{
    char name[kNameBuffer] = {};
    DWORD length = kNameBuffer;
    LONG result = ::RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS)
        return FALSE;   // gone since the count was taken
    if (result != ERROR_SUCCESS)
        return TRUE;    // a name too long for the buffer is a name; so, in doubt, is anything else
    return name[0] != '\0' ? TRUE : FALSE;
}

// Deletes the key the handle designates, with the default value it may still hold.
// RegDeleteKeyA(key, "") opens the key once more, deletes it through the new handle and
// closes that: three round trips to Wine's server (counted in its server trace), where
// NtDeleteKey on the handle already held is one. NtDeleteKey is the registry's own call
// under RegDeleteKeyA; should it refuse the handle, RegDeleteKeyA does the deletion.
BOOL DeleteOpenKey(HKEY key)
{
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    static const NtDeleteKeyFn ntDeleteKey =
        reinterpret_cast<NtDeleteKeyFn>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtDeleteKey"));
    if (ntDeleteKey != nullptr && ntDeleteKey(key) >= 0)
        return TRUE;
    return ::RegDeleteKeyA(key, "") == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace

BOOL RegDeleteKeyIfEmpty(HKEY key)
{
    if (key == nullptr)
        return FALSE;
    // One query counts both subkeys and values (each registry call is a round trip to
    // Wine's server). Its longest-value-name figure is not used to judge a single value:
    // nothing documents that it shrinks when the longer names are deleted.
    DWORD subKeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return FALSE;   // in doubt the key is kept
    if (subKeys > 0 || values > 1 || (values == 1 && OnlyValueIsNamed(key)))
        return FALSE;
    return DeleteOpenKey(key);
}

namespace {

// The name the registry gives the key `key` holds ("\REGISTRY\MACHINE\SOFTWARE\..."),
// from NtQueryKey (KeyNameInformation, which Wine 8 answers too); empty when unknown.
WString KernelName(HKEY key)
{
    using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const NtQueryKeyFn ntQueryKey =
        reinterpret_cast<NtQueryKeyFn>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryKey"));
    const int kKeyNameInformation = 3;
    if (ntQueryKey == nullptr)
        return WString();
    std::vector<ULONG> buffer(512);
    for (int attempt = 0; attempt < 2; ++attempt) {
        ULONG needed = 0;
        const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONG));
        if (ntQueryKey(key, kKeyNameInformation, buffer.data(), size, &needed) >= 0) {
            const ULONG bytes = buffer[0];   // KEY_NAME_INFORMATION: length, then the name
            if (bytes > size - sizeof(ULONG))
                return WString();
            return WString(reinterpret_cast<const wchar_t*>(&buffer[1]), bytes / sizeof(wchar_t));
        }
        if (needed <= size)
            return WString();
        buffer.resize(needed / sizeof(ULONG) + 1);
    }
    return WString();
}

// The components of a registry name, without the 32-bit view's "Wow6432Node" (which the
// system puts in for a 32-bit program wherever that view differs).
std::vector<WString> Components(const WString& name)
{
    std::vector<WString> out;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != L'\\')
            continue;
        const WString part = name.substr(start, i - start);
        const wchar_t kWow[] = L"Wow6432Node";
        if (!part.empty() &&
            ::CompareStringOrdinal(part.c_str(), static_cast<int>(part.size()), kWow, 11, TRUE) != CSTR_EQUAL)
            out.push_back(part);
        start = i + 1;
    }
    return out;
}

bool SameName(const WString& a, const WString& b)
{
    const std::vector<WString> x = Components(a), y = Components(b);
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (::CompareStringOrdinal(x[i].c_str(), static_cast<int>(x[i].size()), y[i].c_str(),
                                   static_cast<int>(y[i].size()), TRUE) != CSTR_EQUAL)
            return false;
    }
    return true;
}

// `path` starts with the components of `prefix` (""  starts every path); `rest` receives
// what follows.
bool StartsWithKey(const std::string& path, const std::string& prefix, std::string& rest)
{
    if (prefix.empty()) {
        rest = path;
        return true;
    }
    if (path.size() < prefix.size() || (path.size() > prefix.size() && path[prefix.size()] != '\\') ||
        ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(prefix.size()),
                         prefix.c_str(), static_cast<int>(prefix.size())) != CSTR_EQUAL)
        return false;
    rest = path.size() > prefix.size() ? path.substr(prefix.size() + 1) : std::string();
    return true;
}

// The name the registry gives root\subKey, opened the ordinary way (links followed).
WString OpenedName(HKEY root, const char* subKey)
{
    HKEY key = RegOpen(root, subKey, TRUE);
    const WString name = key != nullptr ? KernelName(key) : WString();
    RegClose(key);
    return name;
}

}  // namespace

std::vector<RegAnchor> RegReadAnchors()
{
    const WString sid = CurrentUserSid();
    const WString user = sid.empty() ? WString() : L"\\REGISTRY\\USER\\" + sid;
    std::vector<RegAnchor> anchors = {
        {HKEY_LOCAL_MACHINE, "", L"\\REGISTRY\\MACHINE"},
        {HKEY_USERS, "", L"\\REGISTRY\\USER"},
        {HKEY_CURRENT_USER, "", user},
    };
    // The control set in use, wherever the system's link leads within SYSTEM.
    const char kControlSet[] = "SYSTEM\\CurrentControlSet";
    WString controlSet = OpenedName(HKEY_LOCAL_MACHINE, kControlSet);
    if (!SameName(controlSet.substr(0, 24), L"\\REGISTRY\\MACHINE\\SYSTEM") || Components(controlSet).size() != 4)
        controlSet.clear();
    anchors.push_back({HKEY_LOCAL_MACHINE, kControlSet, controlSet});
    // The user's classes: the key itself (Wine), or the user's classes hive (Windows).
    const char kClasses[] = "Software\\Classes";
    WString classes = OpenedName(HKEY_CURRENT_USER, kClasses);
    if (user.empty() || !(SameName(classes, user + L"\\Software\\Classes") || SameName(classes, user + L"_Classes")))
        classes.clear();
    anchors.push_back({HKEY_CURRENT_USER, kClasses, classes});
    return anchors;
}

HKEY RegOpenListed(HKEY root, const std::string& subKey, const std::vector<RegAnchor>& anchors)
{
    const RegAnchor* anchor = nullptr;
    std::string rest;
    for (const RegAnchor& a : anchors) {
        std::string r;
        if (a.root == root && StartsWithKey(subKey, a.subKey, r) &&
            (anchor == nullptr || a.subKey.size() > anchor->subKey.size())) {
            anchor = &a;
            rest = r;
        }
    }
    if (anchor == nullptr || anchor->name.empty())
        return nullptr;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return nullptr;
    // A link opened as itself holds its target in a REG_LINK value of this name.
    DWORD type = REG_NONE;
    const bool link = ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
                          ERROR_SUCCESS && type == REG_LINK;
    const WString expected = rest.empty() ? anchor->name : anchor->name + L"\\" + ToWide(rest);
    if (link || !SameName(KernelName(key), expected)) {
        ::RegCloseKey(key);
        return nullptr;
    }
    return key;
}
