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
// `wide` in the ANSI code page only when every character has its own form there (no best
// fit, no default character). False otherwise.
bool ToAnsiExactly(const WString& wide, std::string& ansi);
// `wide` in the ANSI code page as a user may be shown it: a character without a form of
// its own there is shown as '?', never by a best fit that would name another file.
std::string DisplayForm(const WString& wide);
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
// `full` with every short (8.3) name expanded to the long name it stands for; `full` itself
// when the system cannot expand it (nothing of that name, say).
WString LongNames(const WString& full);
// Whether `resolved` (from ResolvedPath) is the folder `full` (from FullPathW) spells,
// apart from letter case and short names.
bool IsResolvedAs(const WString& resolved, const WString& full);

// Names relative to a folder held open, never a path built again: what another program
// does to the path meanwhile (a link put above, the folder renamed and replaced) does
// not move the work elsewhere.
//
// Opens or creates (`disposition`: FILE_OPEN, FILE_CREATE) the entry `name` of the folder
// `folder` holds, never following a link at the entry itself. nullptr on failure, with
// the reason in the last-error code.
HANDLE OpenBeneath(HANDLE folder, const WString& name, ACCESS_MASK access, ULONG share, ULONG options,
                   ULONG disposition);
// Renames what `file` holds (opened with DELETE) to `name` in the folder `folder` holds,
// over an entry of that name when `replace` is true. FALSE on failure, with the reason in
// the last-error code.
BOOL RenameBeneath(HANDLE file, HANDLE folder, const WString& name, bool replace);
