#include "EnvChecks.h"

#include "platform/seams.h"

#include <vector>

namespace {

// The plain ANSI version record (148 bytes), not the extended one.
bool QueryVersion(OSVERSIONINFOA& info)
{
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "plain version record");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExA(&info) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace


int ClassifyOSVersion(DWORD major, DWORD minor)
{
    switch (major) {
    case 4:
        return minor == 90 ? OS_WINME : OS_OTHER;
    case 5:
        if (minor == 0)
            return OS_WIN2000;
        if (minor == 1)
            return OS_WINXP;
        return OS_OTHER;
    case 6:
        return OS_NT6;
    default:
        return major > 6 ? OS_NEWER : OS_OTHER;
    }
}

int GetOSKind()
{
    OSVERSIONINFOA info;
    if (!QueryVersion(info))
        return OS_OTHER;
    return ClassifyOSVersion(info.dwMajorVersion, info.dwMinorVersion);
}

bool GroupsContainSid(const TOKEN_GROUPS* groups, PSID admins)
{
    if (groups == nullptr)
        return false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (::EqualSid(groups->Groups[i].Sid, admins))
            return true;
    }
    return false;
}

bool IsAdminUser()
{
    OSVERSIONINFOA info;
    QueryVersion(info);   // on failure the major version reads 0
    if (info.dwMajorVersion < 5)
        return true;

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &admins))
        return false;

    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token)) {
        ::FreeSid(admins);
        return false;
    }

    DWORD needed = 0;
    seams::getTokenInformation(token, TokenGroups, nullptr, 0, &needed);
    bool found = false;
    if (needed != 0) {
        // DWORD-aligned buffer for the group list
        std::vector<DWORD_PTR> buffer((needed + sizeof(DWORD_PTR) - 1) / sizeof(DWORD_PTR));
        if (seams::getTokenInformation(token, TokenGroups, buffer.data(), needed, &needed))
            found = GroupsContainSid(reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()), admins);
    }
    ::CloseHandle(token);
    ::FreeSid(admins);
    return found;
}

DWORD RegReadDword(HKEY root, const std::string& subKey, const std::string& valueName, DWORD defaultValue)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return defaultValue;
    DWORD value = 0;
    DWORD length = sizeof value;
    DWORD result = defaultValue;
    // Any value of at most 4 bytes is accepted, whatever its type; a longer one fails
    // with ERROR_MORE_DATA and gives the default.
    if (::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &length) ==
        ERROR_SUCCESS)
        result = value;
    ::RegCloseKey(key);
    return result;
}

BOOL IsUacEnabled()
{
    return RegReadDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                        "EnableLUA", 0) != 0
               ? TRUE
               : FALSE;
}
