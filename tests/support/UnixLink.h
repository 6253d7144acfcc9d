// Real links for the tests, as another program would make them. A Windows program under
// Wine 8 cannot make a link (CreateSymbolicLinkW answers TRUE and makes nothing, junctions
// fail), but a Unix symbolic link inside the prefix is one: Wine lists it as a reparse
// point and follows it on every open. These helpers make such links, and rename entries
// the way a Unix program does, with the kernel's own calls.
#pragma once

#include <gtest/gtest.h>

#include <string>

// True when running under Wine, where the helpers below work.
bool CanMakeUnixLinks();
// Why a test, or a case of one, that needs a link did not run.
const char* NoUnixLinks();
// Skips the running test where no link can be made: for a test whose every case needs
// one (cases that need none belong in a test of their own, or run before the skip).
#define SKIP_WITHOUT_UNIX_LINKS() \
    if (CanMakeUnixLinks()) {     \
    } else                        \
        GTEST_SKIP() << NoUnixLinks()
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
