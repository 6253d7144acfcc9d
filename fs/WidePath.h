// Paths in UTF-16, for the calls that must take a name exactly as it is and for judging
// a folder by what the system resolves it to.
#pragma once

#include "platform/WideString.h"

#include <windows.h>
#include <string>

// `ansi` in UTF-16 as the code page reads it (a byte it cannot read becomes U+FFFD).
WString ToWide(const std::string& ansi);
// `ansi` in UTF-16 only when the conversion is exact: every byte read, and the text
// converts back to the same bytes without a best fit. False otherwise.
bool ToWideExactly(const std::string& ansi, WString& wide);
// The full path of `path` ("." and ".." taken out, '/' made '\'), without a trailing
// separator except after a drive ("C:\"). Empty when the system cannot make one.
WString FullPathW(const WString& path);
// A full path in the form no length limit applies to: "C:\x" -> "\\?\C:\x",
// "\\server\share\x" -> "\\?\UNC\server\share\x". Other forms are returned as they are.
WString LongPathForm(const WString& full);
// Equal as the file system compares names: ordinal, ignoring case.
bool SameText(const WString& a, const WString& b);
// The path the system resolves what `handle` holds to (links inside a drive resolved),
// as C:\... or \\server\share\..., without a trailing separator. Empty on failure.
WString ResolvedPath(HANDLE handle);
// Whether `resolved` (from ResolvedPath) is the folder `full` (from FullPathW) spells,
// apart from letter case and short names.
bool IsResolvedAs(const WString& resolved, const WString& full);
