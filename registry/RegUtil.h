// Registry helpers over the ANSI registry calls. Each stands alone and never reports
// anything: a failure is a null handle, the caller's default or FALSE. A null handle
// stands for an absent key and is accepted everywhere. No registry-view flag is added
// to any access mask: the tool sees the view the system gives the process.
#pragma once

#include <windows.h>
#include <string>

// Opens root\subKey with KEY_READ (readOnly non-zero) or KEY_ALL_ACCESS; null on failure.
HKEY RegOpen(HKEY root, std::string subKey, BOOL readOnly);
// TRUE for a null handle or a successful close.
BOOL RegClose(HKEY key);
// The value's bytes as text up to the first zero byte, or `defaultValue`.
std::string RegQueryString(HKEY key, std::string valueName, std::string defaultValue);
// RegOpen (read-only), RegQueryString, RegClose.
std::string RegReadString(HKEY root, std::string subKey, std::string valueName, std::string defaultValue);
// Is the value set? The empty name asks for the default value.
BOOL RegValueExists(HKEY key, std::string valueName);
// Does the key hold a value with a non-empty name, at any position?
BOOL RegHasNamedValue(HKEY key);
// Does the key have a subkey?
BOOL RegHasSubKey(HKEY key);
// Deletes the key the handle designates when it has no subkey and no named value
// (a default value alone does not keep it). The handle stays open.
BOOL RegDeleteKeyIfEmpty(HKEY key);
