// Tests of the running system made by the start-up gate.
#pragma once

#include <windows.h>
#include <string>

enum OSKind {
    OS_OTHER = 0,
    OS_WINME = 2,
    OS_WIN2000 = 3,
    OS_WINXP = 4,
    OS_NT6 = 5,
    OS_NEWER = 6,
};

// Does the process token hold the built-in Administrators group (S-1-5-32-544)?
bool IsAdminUser();

// Which family of Windows versions is running.
int GetOSKind();
// Is User Account Control switched on by machine policy ("EnableLUA" non-zero)?
BOOL IsUacEnabled();
// A value of at most 4 bytes read as a DWORD, or `defaultValue`.
DWORD RegReadDword(HKEY root, const std::string& subKey, const std::string& valueName, DWORD defaultValue);

// The classification itself, by reported major and minor version.
int ClassifyOSVersion(DWORD major, DWORD minor);
// The walk over a token's group list: true when one of the groups is `admins`,
// whatever its attributes (a deny-only group of a filtered token counts).
bool GroupsContainSid(const TOKEN_GROUPS* groups, PSID admins);
