// Test seams: the few points where a test makes a fault or a race happen for real, at
// the exact moment it would strike. Every one is null in the shipped program, and the
// code calls through it only there.
#pragma once

#include <string>

namespace seams {

// Another program at work in a folder being removed: called after the folder has been
// listed and before the listed entry `name` of it is opened. `folder` is the folder's
// resolved path (\\?\C:\...).
extern void (*beforeEntryOpen)(const wchar_t* folder, const wchar_t* name);

// Another program at work in the temporary folder: called with the registry data file's
// path once the file has been written there, before anything else happens to it.
extern void (*afterRegDataWritten)(const char* path);

}  // namespace seams
