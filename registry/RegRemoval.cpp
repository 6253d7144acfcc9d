#include "registry/RegRemoval.h"

#include "registry/ProfileText.h"
#include "registry/RegUtil.h"

namespace {

const DWORD kBufferSize = 65535;

// Byte index of the first character `ch` in `text`, walking double-byte characters
// as units; npos when there is none.
size_t FindFirstChar(const std::string& text, char ch)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == static_cast<unsigned char>(ch))
            return i;
        i += (::IsDBCSLeadByte(c) && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string::npos;
}

}  // namespace

BOOL RegDeleteEntry(HKEY root, std::string subKey, std::string valueName)
{
    HKEY key = RegOpen(root, subKey, FALSE);
    if (key == nullptr)
        return FALSE;
    if (valueName == "@" || !valueName.empty()) {
        // A value that is not there answers ERROR_FILE_NOT_FOUND: nothing deleted, not a failure.
        LONG result = ::RegDeleteValueA(key, valueName == "@" ? "" : valueName.c_str());
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
            RegClose(key);
            return FALSE;
        }
    }
    RegDeleteKeyIfEmpty(key);
    RegClose(key);
    return TRUE;
}

namespace {

// Splits a section's key path at its first backslash and looks the root name up (exact
// spelling); false for an unknown root or a path without a backslash.
bool SplitSection(const std::string& section, HKEY& root, std::string& subKey)
{
    static const struct {
        const char* name;
        HKEY key;
    } kRoots[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", HKEY_USERS},
    };
    size_t slash = FindFirstChar(section, '\\');
    std::string rootName = slash == std::string::npos ? std::string() : section.substr(0, slash);
    subKey = slash == std::string::npos ? section : section.substr(slash + 1);
    for (const auto& r : kRoots) {
        if (rootName == r.name) {
            root = r.key;
            return true;
        }
    }
    return false;
}

// The entries of one section, worked with the key held open from the first to the last:
// each named value is deleted, then the key if it is left empty. Working entry by entry,
// opening the key for each and testing it for emptiness after each, ends the same way:
// - every entry acts on this one key, and nothing else changes it meanwhile, so the
//   first open answers for all of them;
// - entries only ever delete, so a key that is empty after one entry is empty after
//   every later one, and the later entries then have nothing left to delete; the one
//   test that counts is the one after the last entry whose value deletion did not fail
//   (a failed deletion skips the test, a value that is not there does not).
// A value that is not there is found by the deletion's own answer, without a query first.
void RemoveSectionEntries(const std::string& section, const std::vector<std::string>& valueNames)
{
    HKEY root = nullptr;
    std::string subKey;
    if (!SplitSection(section, root, subKey))
        return;
    HKEY key = RegOpen(root, subKey, FALSE);
    if (key == nullptr)
        return;
    bool test = false;
    for (const std::string& name : valueNames) {
        if (name.empty()) {
            test = true;   // no value named: only the emptiness test
            continue;
        }
        LONG result = ::RegDeleteValueA(key, name == "@" ? "" : name.c_str());
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
            test = true;
    }
    if (test)
        RegDeleteKeyIfEmpty(key);
    RegClose(key);
}

}  // namespace

BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName)
{
    HKEY root = nullptr;
    std::string subKey;
    if (!SplitSection(section, root, subKey))
        return FALSE;
    return RegDeleteEntry(root, subKey, valueName);
}

std::string EntryValueName(const std::string& line)
{
    std::string unquoted;
    unquoted.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        size_t width = (::IsDBCSLeadByte(c) && i + 1 < line.size()) ? 2 : 1;
        if (!(width == 1 && c == '"'))
            unquoted.append(line, i, width);
        i += width;
    }
    size_t equals = FindFirstChar(unquoted, '=');
    return equals == std::string::npos ? std::string() : unquoted.substr(0, equals);
}

std::vector<std::string> SplitProfileList(const char* buffer, DWORD returned, DWORD size)
{
    std::vector<std::string> items;
    DWORD at = 0;
    while (at < size && buffer[at] != '\0') {
        DWORD nul = at;
        while (nul < size && buffer[nul] != '\0')
            ++nul;
        if (nul == size)
            break;   // no NUL ends it within the buffer: no string, whatever the bytes are
        items.emplace_back(buffer + at, nul - at);
        at = nul + 1;
    }
    if (size >= 2 && returned == size - 2 && !items.empty())
        items.pop_back();
    return items;
}

size_t RunRegistryPass(const CProfileText& data)
{
    std::vector<char> names(kBufferSize, '\0');
    DWORD got = data.GetSectionNames(names.data(), kBufferSize);
    std::vector<std::string> sections = SplitProfileList(names.data(), got, kBufferSize);

    size_t calls = 0;
    std::vector<char> lines(kBufferSize, '\0');
    std::vector<std::string> valueNames;
    // Last to first: the file lists every ancestor before its descendants, so a key's
    // subkeys are gone by the time its own section comes.
    for (size_t i = sections.size(); i-- > 0;) {
        const std::string& section = sections[i];
        DWORD length = data.GetSection(section.c_str(), lines.data(), kBufferSize);
        valueNames.clear();
        if (lines[0] == '\0') {
            valueNames.emplace_back();   // a section without lines: only the emptiness test
        } else {
            for (const std::string& line : SplitProfileList(lines.data(), length, kBufferSize))
                valueNames.push_back(EntryValueName(line));
        }
        calls += valueNames.size();
        RemoveSectionEntries(section, valueNames);
    }
    return calls;
}
