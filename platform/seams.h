// Test seams: the few points where a test makes a fault or a race happen for real, at
// the exact moment it would strike. In the shipped program each is null or the system's
// own call, and the code calls through it only there.
#pragma once

#include <windows.h>

namespace seams {

// Another program at work in a folder being removed: called after the folder has been
// listed and before the listed entry `name` of it is opened. `folder` is the folder's
// resolved path (C:\...).
extern void (*beforeEntryOpen)(const wchar_t* folder, const wchar_t* name);

// A link held as itself, which Wine never gives (every open there follows a link): asked
// with each handle whose attributes the folder removal reads; true shows the handle with
// FILE_ATTRIBUTE_REPARSE_POINT, as Windows shows a link opened as itself.
extern bool (*heldAsLink)(HANDLE handle);

// Another program at work in the temporary folder: called with the registry data file's
// path once the file has been written there, before anything else happens to it.
extern void (*afterRegDataWritten)(const char* path);

// Windows refuses to rename a file over a read-only one (STATUS_ACCESS_DENIED), Wine does
// not: the rename call by which files are renamed relative to a held folder
// (NtSetInformationFile; `informationClass` 10 is FileRenameInformation).
extern LONG(NTAPI* setFileInformation)(HANDLE file, void* io, void* information, ULONG length, int informationClass);

// A full disk while the data file is written: the write call.
extern BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// A standard user's token, which Wine never gives (every token there holds the
// Administrators group): the query of the token's groups.
extern BOOL(WINAPI* getTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

}  // namespace seams
