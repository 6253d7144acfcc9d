// A data file in profile (.ini) syntax read from bytes held in memory, giving what the
// system's profile reader gives for a file holding those bytes. The removal pass reads
// the tool's own embedded bytes this way: the copy written to the temporary folder can be
// rewritten by any program of the user, the bytes in the executable cannot.
#pragma once

#include <windows.h>
#include <string>
#include <unordered_map>
#include <vector>

class CProfileText {
public:
    explicit CProfileText(const std::string& bytes);

    // The same buffer contents and result as GetPrivateProfileSectionNamesA, and as
    // GetPrivateProfileSectionA for `section`, on a file holding the bytes. `size` at
    // least 3.
    DWORD GetSectionNames(char* buffer, DWORD size) const;
    DWORD GetSection(const char* section, char* buffer, DWORD size) const;

private:
    struct Entry {
        std::wstring name;    // up to the first '=' (or the whole line), spaces trimmed
        bool hasValue = false;
        std::wstring value;   // after the '=', spaces trimmed
    };
    struct Section {
        std::wstring name;
        std::vector<Entry> entries;
    };

    void Parse(const std::wstring& text);
    DWORD SectionNamesW(WCHAR* buffer, DWORD size) const;
    DWORD SectionW(const std::wstring& name, WCHAR* buffer, DWORD size) const;

    // In file order; the first holds the lines before any section header and has no name.
    std::vector<Section> m_sections;
    // Each name folded to lower case -> its first section; the reader answers with the
    // first section whose name matches regardless of case.
    std::unordered_map<std::wstring, size_t> m_first;
    mutable std::vector<WCHAR> m_wide;
};
