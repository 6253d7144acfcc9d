// A data file in profile (.ini) syntax read from bytes held in memory, giving what the
// system's profile reader gives for a file holding those bytes. The removal pass reads
// the tool's own embedded bytes this way: the copy written to the temporary folder can be
// rewritten by any program of the user, the bytes in the executable cannot.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

class CProfileText {
public:
    explicit CProfileText(const std::string& bytes);

    // The same buffer contents and result as GetPrivateProfileSectionNamesA, and as
    // GetPrivateProfileSectionA for `section`, on a file holding the bytes. `size` at
    // least 3. An answer of size - 2 (a list cut off, or one that fills the buffer) ends
    // in two NUL bytes at the buffer's end, as Windows documents; Wine's list of names
    // may leave them out (see ProfileText.cpp).
    DWORD GetSectionNames(char* buffer, DWORD size) const;
    DWORD GetSection(const char* section, char* buffer, DWORD size) const;

private:
    // Spans of m_text: (offset, length), each length up to the first NUL.
    struct Span {
        DWORD at = 0;
        DWORD length = 0;
    };
    struct Entry {
        Span name;   // up to the first '=' (or the whole line), spaces trimmed
        Span value;  // after the '=', spaces trimmed
        bool hasValue = false;
    };
    struct Section {
        Span name;
        size_t firstEntry = 0;   // index into m_entries
        size_t entries = 0;
    };

    void Parse();
    // The first section named `name` (ASCII letters in either case); null when none.
    const Section* Find(const WCHAR* name, size_t length) const;
    DWORD SectionNamesW(WCHAR* buffer, DWORD size) const;
    DWORD SectionW(const Section* section, WCHAR* buffer, DWORD size) const;
    // Copies at most `room` - 1 characters of the span and a NUL; the characters copied.
    DWORD CopyCut(WCHAR* to, Span span, DWORD room) const;

    // The whole file as UTF-16. (Vectors, not std::wstring: that would bring the library's
    // whole wide string into the executable.)
    std::vector<WCHAR> m_text;
    // In file order; the first holds the lines before any section header and has no name.
    std::vector<Section> m_sections;
    std::vector<Entry> m_entries;
    mutable std::vector<WCHAR> m_wide;   // the UTF-16 answer, before its conversion
};
