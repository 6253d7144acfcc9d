// Real links for the tests, as another program would make them. A Windows program under
// Wine 8 cannot make a link (CreateSymbolicLinkW answers TRUE and makes nothing, junctions
// fail), but a Unix symbolic link inside the prefix is one: Wine lists it as a reparse
// point and follows it on every open. These helpers make such links, and rename entries
// the way a Unix program does, with the kernel's own calls.
#pragma once

#include <string>

// True when running under Wine, where the helpers below work.
bool CanMakeUnixLinks();
// Makes `link` (a Windows path whose folder exists) a symbolic link to `target` (a
// Windows path; it need not exist). False when the system refused.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);
// Makes drive `letter` stand for the folder `target`, as a drive letter of Wine's own.
bool MakeUnixDrive(wchar_t letter, const std::wstring& target);
// Renames `from` to `to` (Windows paths) as a Unix program would: a link is renamed
// itself, not its target, and no Windows sharing rule applies.
bool UnixRename(const std::wstring& from, const std::wstring& to);
// Removes every link MakeUnixLink made (a renamed one under its old name only).
void RemoveMadeUnixLinks();
