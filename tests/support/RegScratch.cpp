#include "RegScratch.h"

#include <vector>

const ScratchRoot kScratchRoots[4] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "VnQRXTest.Scratch"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\VnQRXTest"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "SOFTWARE\\VnQRXTest"},
    {HKEY_USERS, "HKEY_USERS", ".DEFAULT\\Software\\VnQRXTest"},
};

std::vector<std::string> SubKeyNames(HKEY key)
{
    std::vector<std::string> children;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name, len);
    }
    return children;
}

namespace {

using NtKeyCallFn = LONG(WINAPI*)(HANDLE);
using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

bool IsLinkKey(HKEY key)
{
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Deletes the key a handle holds (the link itself, for a link opened as itself).
void DeleteHeldKey(HKEY key)
{
    static const auto ntDeleteKey =
        reinterpret_cast<NtKeyCallFn>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey"));
    ntDeleteKey(key);
}

}  // namespace

void DeleteTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (IsLinkKey(key)) {
        DeleteHeldKey(key);   // never what the link leads to
        RegCloseKey(key);
        return;
    }
    const std::vector<std::string> children = SubKeyNames(key);
    RegCloseKey(key);
    for (const std::string& c : children)
        DeleteTree(root, path + "\\" + c);
    RegDeleteKeyA(root, path.c_str());
}

bool MakeRegistryLink(HKEY root, const std::string& path, HKEY targetRoot, const std::string& targetPath)
{
    // The link names its target as the registry does: ask the target itself.
    static const auto ntQueryKey =
        reinterpret_cast<NtQueryKeyFn>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey"));
    HKEY target;
    if (RegOpenKeyExA(targetRoot, targetPath.c_str(), 0, KEY_READ, &target) != ERROR_SUCCESS)
        return false;
    ULONG buffer[1024];
    ULONG needed = 0;
    const LONG status = ntQueryKey(target, 3 /* KeyNameInformation */, buffer, sizeof buffer, &needed);
    RegCloseKey(target);
    if (status < 0)
        return false;
    HKEY link;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(&buffer[1]),
                                   buffer[0]) == ERROR_SUCCESS;
    RegCloseKey(link);
    return ok;
}

bool IsRegistryLink(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool link = IsLinkKey(key);
    RegCloseKey(key);
    return link;
}

bool CreateKey(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static bool SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data,
                   DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& data, DWORD type)
{
    return SetRaw(root, path, name, type, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD data)
{
    return SetRaw(root, path, name, REG_DWORD, &data, sizeof data);
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

const char kFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
const char kDecoyFolderValue[] = "C:\\Program Files\\Other Product\\";
const char kDecoyProductKey[] = "SOFTWARE\\Halcyra\\OtherProduct";
const char kDecoyClassKey[] = "CLSID\\{0D0D0D0D-1111-2222-3333-444455556666}";

bool StageRegistryDecoys()
{
    return SetString(HKEY_LOCAL_MACHINE, kFoldersKey, kDecoyFolderValue, "") &&
           SetString(HKEY_LOCAL_MACHINE, kDecoyProductKey, "DisplayName", "Other") &&
           SetString(HKEY_CLASSES_ROOT, kDecoyClassKey, "", "Other class");
}

void RemoveRegistryDecoys()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kDecoyProductKey);
    DeleteTree(HKEY_CLASSES_ROOT, kDecoyClassKey);
    DeleteValue(HKEY_LOCAL_MACHINE, kFoldersKey, kDecoyFolderValue);
}

bool RegistryDecoysIntact()
{
    return ValueExists(HKEY_LOCAL_MACHINE, kFoldersKey, kDecoyFolderValue) &&
           ValueExists(HKEY_LOCAL_MACHINE, kDecoyProductKey, "DisplayName") &&
           ValueExists(HKEY_CLASSES_ROOT, kDecoyClassKey, "");
}
