#include "registry/RegRemoval.h"

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
    std::string target = valueName == "@" ? std::string() : valueName;
    if (valueName == "@" || !valueName.empty()) {
        if (RegValueExists(key, target) && ::RegDeleteValueA(key, target.c_str()) != ERROR_SUCCESS) {
            RegClose(key);
            return FALSE;
        }
    }
    RegDeleteKeyIfEmpty(key);
    RegClose(key);
    return TRUE;
}

BOOL RemoveRegistryEntry(const std::string& section, const std::string& valueName)
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
    std::string subKey = slash == std::string::npos ? section : section.substr(slash + 1);
    for (const auto& root : kRoots) {
        if (rootName == root.name)
            return RegDeleteEntry(root.key, subKey, valueName);
    }
    return FALSE;
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
    for (const char* p = buffer; *p != '\0'; p += items.back().size() + 1)
        items.emplace_back(p);
    if (size >= 2 && returned == size - 2 && !items.empty())
        items.pop_back();
    return items;
}

size_t RunRegistryPass(const std::string& path)
{
    std::vector<char> names(kBufferSize, '\0');
    DWORD got = ::GetPrivateProfileSectionNamesA(names.data(), kBufferSize, path.c_str());
    std::vector<std::string> sections = SplitProfileList(names.data(), got, kBufferSize);

    size_t calls = 0;
    std::vector<char> lines(kBufferSize, '\0');
    // Last to first: the file lists every ancestor before its descendants, so a key's
    // subkeys are gone by the time its own section comes.
    for (size_t i = sections.size(); i-- > 0;) {
        const std::string& section = sections[i];
        lines.assign(kBufferSize, '\0');
        DWORD length = ::GetPrivateProfileSectionA(section.c_str(), lines.data(), kBufferSize, path.c_str());
        if (lines[0] == '\0') {
            RemoveRegistryEntry(section, std::string());
            ++calls;
            continue;
        }
        for (const std::string& line : SplitProfileList(lines.data(), length, kBufferSize)) {
            RemoveRegistryEntry(section, EntryValueName(line));
            ++calls;
        }
    }
    return calls;
}
