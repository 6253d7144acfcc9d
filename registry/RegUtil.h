// Registry helpers over the ANSI registry calls. Each stands alone and never reports
// anything: a failure is a null handle, the caller's default or FALSE. A null handle
// stands for an absent key and is accepted everywhere. No registry-view flag is added
// to any access mask: the tool sees the view the system gives the process.
#pragma once

#include "platform/WideString.h"

#include <windows.h>
#include <string>
#include <vector>

// Opens root\subKey with KEY_READ (readOnly non-zero) or KEY_ALL_ACCESS; null on failure.
HKEY RegOpen(HKEY root, std::string subKey, BOOL readOnly);
// TRUE for a null handle or a successful close.
BOOL RegClose(HKEY key);
// The value's bytes as text up to the first zero byte, or `defaultValue`.
std::string RegQueryString(HKEY key, std::string valueName, std::string defaultValue);
// RegOpen (read-only), RegQueryString, RegClose.
std::string RegReadString(HKEY root, std::string subKey, std::string valueName, std::string defaultValue);
// Deletes the key the handle designates when it has no subkey and no named value
// (a default value alone does not keep it). The handle stays open.
BOOL RegDeleteKeyIfEmpty(HKEY key);

// Listed keys are opened without ever following a registry link, which any program of the
// user can make in the user's own hive (pointing, say, into HKEY_LOCAL_MACHINE).
//
// Where a listed path may be opened from: each root, and the system's own links a listed
// path passes through (HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet; on Windows
// HKEY_CURRENT_USER\Software\Classes, which stands for the user's classes hive), each with
// the name the registry itself gives it. An empty name: nothing below is opened.
struct RegAnchor {
    HKEY root;
    std::string subKey;   // "" for the root itself
    WString name;         // "\REGISTRY\MACHINE", "\REGISTRY\USER\<SID>\Software\Classes", ...
};
// Read once per pass: the roots' names are the system's (the user's hive by the SID of
// the process token), the two links' names what they lead to, taken only when that is
// where the system puts them.
std::vector<RegAnchor> RegReadAnchors();
// Opens root\subKey with full access, only when no registry link lies on the way: the
// key itself is opened as itself (REG_OPTION_OPEN_LINK) and must not be a link, and the
// name the registry gives the opened key must be its anchor's name followed by the rest of
// the path (apart from letter case and the 32-bit view's Wow6432Node). Null otherwise, and
// for a root that has no anchor (HKEY_CLASSES_ROOT: see the pass).
HKEY RegOpenListed(HKEY root, const std::string& subKey, const std::vector<RegAnchor>& anchors);
