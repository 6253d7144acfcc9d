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

namespace {

// Where a section's key lies. The roots by their exact spelling; HKEY_CLASSES_ROOT names
// two places. On Windows it is a merged view in which, for opening and deleting, a key
// of the user's own classes wins over the machine's: a copy the user puts there would be
// cleaned instead of the machine's registration. So a listed class is worked in the
// machine's classes and in the user's, each opened explicitly.
std::vector<RegKeyPlace> SectionPlaces(const std::string& section)
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
    const std::string rootName = slash == std::string::npos ? std::string() : section.substr(0, slash);
    const std::string subKey = slash == std::string::npos ? section : section.substr(slash + 1);
    for (const auto& r : kRoots) {
        if (rootName != r.name)
            continue;
        if (r.key != HKEY_CLASSES_ROOT)
            return {{r.key, subKey}};
        const std::string classes = "Software\\Classes\\" + subKey;
        return {{HKEY_LOCAL_MACHINE, classes}, {HKEY_CURRENT_USER, classes}};
    }
    return {};
}

}  // namespace

BOOL RegDeleteEntries(HKEY key, const std::vector<std::string>& valueNames)
{
    if (key == nullptr)
        return FALSE;
    // Line by line, each line would delete its value and then test the key for emptiness
    // (not after a failed deletion; after a value that is not there, yes). One test after
    // the last line ends the same way: every line acts on this one key and only ever
    // deletes, so a key empty after one line is empty after every later one, and the later
    // lines then have nothing left to delete.
    bool test = false;
    bool failed = false;
    for (const std::string& name : valueNames) {
        if (name.empty()) {
            test = true;   // no value named: only the emptiness test
            continue;
        }
        // A value that is not there answers ERROR_FILE_NOT_FOUND: nothing deleted, not a failure.
        LONG result = ::RegDeleteValueA(key, name == "@" ? "" : name.c_str());
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
            test = true;
        else
            failed = true;
    }
    if (test)
        RegDeleteKeyIfEmpty(key);
    return failed ? FALSE : TRUE;
}

BOOL RegDeleteEntry(HKEY root, std::string subKey, std::string valueName)
{
    HKEY key = RegOpenListed(root, subKey, RegReadAnchors());
    if (key == nullptr)
        return FALSE;
    BOOL ok = RegDeleteEntries(key, {valueName});
    RegClose(key);
    return ok;
}

BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName)
{
    BOOL ok = FALSE;
    for (const RegKeyPlace& place : SectionPlaces(section))
        ok |= RegDeleteEntry(place.root, place.subKey, valueName);
    return ok;
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

    const std::vector<RegAnchor> anchors = RegReadAnchors();
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
        // The key is held open from the section's first line to its last.
        for (const RegKeyPlace& place : SectionPlaces(section)) {
            HKEY key = RegOpenListed(place.root, place.subKey, anchors);
            RegDeleteEntries(key, valueNames);
            RegClose(key);
        }
    }
    return calls;
}
