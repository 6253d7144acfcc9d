// The registry removal pass over the data file: sections last to first, each line
// deleting the value it names and then its key if the key is left empty.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// Opens root\subKey with full access, deletes the named value ("@": the default value;
// empty: none), then the key if it is empty. FALSE when the key cannot be opened or the
// value deletion fails.
BOOL RegDeleteEntry(HKEY root, std::string subKey, std::string valueName);
// Splits the section's key path at its first backslash and looks the root name up
// (exact spelling); FALSE for an unknown root.
BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName);

// The value name a data-file line addresses: the line without its double quotes, cut
// before the first equals sign; empty when there is none.
std::string EntryValueName(const std::string& line);
// The zero-terminated strings of a profile-reader buffer of `size` bytes, reading none
// past them (bytes after the last NUL within them are no string). `returned` is the
// reader's answer: when it reports a cut-off list (size minus 2), the last, incomplete
// string is dropped rather than acted on.
std::vector<std::string> SplitProfileList(const char* buffer, DWORD returned, DWORD size);

class CProfileText;

// Works through the data file, read from memory; the number of entries worked (one per
// line of a section, one for a section without lines).
size_t RunRegistryPass(const CProfileText& data);
