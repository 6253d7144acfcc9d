// The registry removal pass over the data file: sections last to first, each line
// deleting the value it names and then its key if the key is left empty.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// The one rule for a data file's lines, on the key `key` they all name, held open by the
// caller: each line deletes the value it names ("@": the default value; empty: none), and
// the key is then deleted if it is left empty (no subkey, no named value). TRUE when no
// value deletion failed (a value that is not there is no failure); FALSE for a null key.
BOOL RegDeleteEntries(HKEY key, const std::vector<std::string>& valueNames);
// Opens root\subKey (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_USERS) with full
// access, never through a registry link (RegOpenListed), and works one line on it.
// FALSE when the key cannot be opened or the value deletion fails.
BOOL RegDeleteEntry(HKEY root, std::string subKey, std::string valueName);
// Splits the section's key path at its first backslash, looks the root name up (exact
// spelling; HKEY_CLASSES_ROOT stands for the machine's and the user's classes, each
// worked) and works the line there. FALSE for an unknown root, else TRUE when the line
// was worked in a key without a failed deletion.
BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName);

// The value name a data-file line addresses: the line without its double quotes, cut
// before the first equals sign; empty when there is none.
std::string EntryValueName(const std::string& line);
// The zero-terminated strings of a profile-reader buffer of `size` bytes, reading none
// past them (bytes after the last NUL within them are no string). `returned` is the
// reader's answer: when it reports a cut-off list (size minus 2), the last, incomplete
// string is dropped rather than acted on.
std::vector<std::string> SplitProfileList(const char* buffer, DWORD returned, DWORD size);

// A key a section names: a root and the path below it.
struct RegKeyPlace {
    HKEY root;
    std::string subKey;
};

class CProfileText;

// Works through the data file, read from memory; the number of entries worked (one per
// line of a section, one for a section without lines).
size_t RunRegistryPass(const CProfileText& data);
