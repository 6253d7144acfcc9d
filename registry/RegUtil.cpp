#include "registry/RegUtil.h"

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

BOOL RegValueExists(HKEY key, std::string valueName)
{
    if (key == nullptr)
        return FALSE;
    DWORD length = 0;
    return ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &length) == ERROR_SUCCESS ? TRUE
                                                                                                             : FALSE;
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

BOOL RegHasNamedValue(HKEY key)
{
    if (key == nullptr)
        return FALSE;
    // Every position counts, not only the first: the default value may be enumerated
    // first, and a key must not be taken for empty while it holds a named value that the
    // data file does not list. Two values or more mean a named one.
    DWORD values = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return TRUE;   // in doubt the key is kept
    if (values == 0)
        return FALSE;
    return values > 1 ? TRUE : OnlyValueIsNamed(key);
}

BOOL RegHasSubKey(HKEY key)
{
    if (key == nullptr)
        return FALSE;
    char name[kNameBuffer] = {};
    DWORD length = kNameBuffer;
    FILETIME written;
    LONG result = ::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, &written);
    if (result == ERROR_NO_MORE_ITEMS)
        return FALSE;
    if (result != ERROR_SUCCESS)
        return TRUE;   // in doubt the key is kept
    return name[0] != '\0' ? TRUE : FALSE;
}

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
