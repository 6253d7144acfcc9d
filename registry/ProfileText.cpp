#include "registry/ProfileText.h"

#include <algorithm>

// The system's reader, as measured under Wine 8 (tests/registry/ProfileTextTest.cpp pins
// each point against GetPrivateProfileSection*A on the same bytes):
// - A UTF-8 signature makes the text UTF-8, a UTF-16 one UTF-16; anything else is text
//   in the ANSI code page, converted to UTF-16 as a whole before it is looked at.
// - Lines end at any run of CR and LF. Tab, LF, VT, FF, CR, space and ^Z are spaces;
//   a line is trimmed of them at both ends, and empty lines are dropped.
// - A line starting with '[' and holding a ']' names a section: the text between the
//   '[' and the last ']', trimmed. Any other line is an entry of the current section:
//   its name up to the first '=' (trimmed), its value after it (trimmed); a line without
//   '=' has no value. An entry whose name is empty is dropped when the entry before it
//   in the section also has an empty name.
// - Sections keep file order, duplicates included; the list of names leaves out the
//   nameless ones. A section is looked up by name regardless of the case of ASCII
//   letters (only those), first match, and gives its entries in file order,
//   "name=value" or "name", leaving out those whose name starts with ';'.
// - A text stops at its first NUL character wherever it is copied or compared.
// - The ANSI answers are the UTF-16 answers converted back, with the reader's own rules
//   for a buffer that is too small (the result is size - 2 and the list ends in two NUL
//   bytes, the last string cut short).
// One departure, on purpose: a list of section names answered with size - 2 always ends
// in two NUL bytes at the buffer's end, as Windows documents it and as the reader itself
// ends a cut-off section. Wine 8's GetPrivateProfileSectionNamesA converts the cut list
// only up to the NUL of its last string and leaves the buffer's last byte as it was, or,
// when a double-byte character did not fit, the byte before it: a reader of the list
// then finds no end to it within the buffer.
// Not taken over: a file name listed under the registry's IniFileMapping key would be
// read from the registry instead; the tool's data file never is.

namespace {

bool IsProfileSpace(WCHAR c)
{
    return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == 0x20;
}

void Trim(const WCHAR*& begin, const WCHAR*& end)
{
    while (begin < end && IsProfileSpace(*begin))
        ++begin;
    while (end > begin && IsProfileSpace(end[-1]))
        --end;
}

// Letter case as the reader ignores it: ASCII letters only (measured: "[Ａ]" and "[ａ]",
// full-width, are two sections to it, and so are Greek and Cyrillic letters of two cases).
WCHAR Folded(WCHAR c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<WCHAR>(c - L'A' + L'a') : c;
}

}  // namespace

CProfileText::CProfileText(const std::string& bytes)
{
    if (bytes.empty())
        return;   // an empty file has no sections at all, not even the nameless one
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
    UINT codePage = CP_ACP;
    size_t skip = 0;
    if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        codePage = CP_UTF8;
        skip = 3;
    } else if (bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            m_text.push_back(static_cast<WCHAR>(b[0] == 0xFE ? (b[i] << 8) | b[i + 1] : (b[i + 1] << 8) | b[i]));
        Parse();
        return;
    }
    const int length = static_cast<int>(bytes.size() - skip);
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, nullptr, 0);
    if (n > 0) {
        m_text.resize(static_cast<size_t>(n));
        ::MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, m_text.data(), n);
    }
    Parse();
}

void CProfileText::Parse()
{
    const WCHAR* const text = m_text.data();
    auto span = [text](const WCHAR* begin, const WCHAR* end) {
        Span s;
        s.at = static_cast<DWORD>(begin - text);
        while (begin + s.length < end && begin[s.length] != L'\0')
            ++s.length;
        return s;
    };
    m_sections.emplace_back();   // the lines before the first header
    bool lastNameEmpty = false;
    const WCHAR* p = text;
    const WCHAR* const stop = text + m_text.size();
    while (p < stop) {
        const WCHAR* begin = p;
        while (p < stop && *p != L'\r' && *p != L'\n')
            ++p;
        const WCHAR* end = p;
        while (p < stop && (*p == L'\r' || *p == L'\n'))
            ++p;
        Trim(begin, end);
        if (begin == end)
            continue;
        if (*begin == L'[') {
            const WCHAR* close = end;
            while (close > begin && close[-1] != L']')
                --close;
            if (close > begin + 1) {   // the ']' found is not the '[' itself
                const WCHAR* nameBegin = begin + 1;
                const WCHAR* nameEnd = close - 1;
                Trim(nameBegin, nameEnd);
                Section section;
                section.name = span(nameBegin, nameEnd);
                section.firstEntry = m_entries.size();
                m_sections.push_back(section);
                continue;
            }
        }
        Entry entry;
        const WCHAR* equals = std::find(begin, end, L'=');
        const WCHAR* nameEnd = end;
        if (equals != end) {
            nameEnd = equals;
            const WCHAR* valueBegin = equals + 1;
            const WCHAR* valueEnd = end;
            Trim(valueBegin, valueEnd);
            entry.hasValue = true;
            entry.value = span(valueBegin, valueEnd);
            while (nameEnd > begin && IsProfileSpace(nameEnd[-1]))
                --nameEnd;
        }
        Section& current = m_sections.back();
        if (nameEnd == begin && current.entries > 0 && lastNameEmpty)
            continue;
        entry.name = span(begin, nameEnd);
        lastNameEmpty = entry.name.length == 0;
        m_entries.push_back(entry);
        ++current.entries;
    }
}

const CProfileText::Section* CProfileText::Find(const WCHAR* name, size_t length) const
{
    for (const Section& s : m_sections) {
        if (s.name.length != length)
            continue;
        const WCHAR* own = m_text.data() + s.name.at;
        size_t i = 0;
        while (i < length && Folded(own[i]) == Folded(name[i]))
            ++i;
        if (i == length)
            return &s;
    }
    return nullptr;
}

DWORD CProfileText::CopyCut(WCHAR* to, Span span, DWORD room) const
{
    DWORD n = span.length < room - 1 ? span.length : room - 1;
    std::copy(m_text.data() + span.at, m_text.data() + span.at + n, to);
    to[n] = L'\0';
    return n;
}

DWORD CProfileText::SectionNamesW(WCHAR* buffer, DWORD size) const
{
    if (size == 0)
        return 0;
    WCHAR* p = buffer;
    DWORD room = size - 1;   // one character is kept for the list's final NUL
    for (const Section& s : m_sections) {
        if (s.name.length == 0)
            continue;
        if (s.name.length + 1 >= room) {   // does not fit with the final NUL: cut, and stop
            if (room > 0)
                p += CopyCut(p, s.name, room) + 1;
            *p = L'\0';
            return size - 2;
        }
        p += CopyCut(p, s.name, room) + 1;
        room -= s.name.length + 1;
    }
    *p = L'\0';
    return static_cast<DWORD>(p - buffer);
}

DWORD CProfileText::SectionW(const Section* section, WCHAR* buffer, DWORD size) const
{
    if (section == nullptr) {
        buffer[0] = buffer[1] = L'\0';
        return 0;
    }
    WCHAR* p = buffer;
    DWORD room = size;
    for (size_t i = 0; i < section->entries; ++i) {
        const Entry& e = m_entries[section->firstEntry + i];
        if (room <= 2)
            break;
        if (e.name.length == 0 && !e.hasValue)
            continue;
        if (e.name.length != 0 && m_text[e.name.at] == L';')
            continue;   // a comment
        DWORD n = CopyCut(p, e.name, room - 1);
        p += n + 1;
        room -= n + 1;
        if (room < 2)
            break;
        if (e.hasValue) {
            p[-1] = L'=';
            n = CopyCut(p, e.value, room - 1);
            p += n + 1;
            room -= n + 1;
        }
    }
    *p = L'\0';
    if (room <= 1) {
        p[-1] = L'\0';
        return size - 2;
    }
    return size - room;
}

DWORD CProfileText::GetSectionNames(char* buffer, DWORD size) const
{
    if (m_wide.size() < size)
        m_wide.resize(size);
    DWORD wide = SectionNamesW(m_wide.data(), size);
    if (wide == 0) {
        buffer[0] = '\0';
        return 0;
    }
    int n = ::WideCharToMultiByte(CP_ACP, 0, m_wide.data(), static_cast<int>(wide + 1), buffer,
                                  static_cast<int>(size - 1), nullptr, nullptr);
    const DWORD result = n == 0 ? size - 2 : static_cast<DWORD>(n - 1);
    if (result == size - 2)
        buffer[size - 2] = buffer[size - 1] = '\0';   // the list's end, within the buffer
    return result;
}

DWORD CProfileText::GetSection(const char* section, char* buffer, DWORD size) const
{
    // The name is looked up as the reader does: converted from the ANSI code page.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, section, -1, nullptr, 0);
    std::vector<WCHAR> name(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, section, -1, name.data(), length);

    // The UTF-16 answer gets twice the room: one character may take two bytes.
    const DWORD wideSize = size * 2;
    if (m_wide.size() < wideSize)
        m_wide.resize(wideSize);
    DWORD wide = SectionW(Find(name.data(), name.size() - 1), m_wide.data(), wideSize);
    if (wide == 0) {
        buffer[0] = buffer[1] = '\0';
        return 0;
    }
    if (wide == wideSize - 2)
        ++wide;   // cut off: convert the second final NUL too
    int n = ::WideCharToMultiByte(CP_ACP, 0, m_wide.data(), static_cast<int>(wide + 1), buffer,
                                  static_cast<int>(size), nullptr, nullptr);
    if (n == 0 || static_cast<DWORD>(n) == size) {
        buffer[size - 2] = buffer[size - 1] = '\0';
        return size - 2;
    }
    return static_cast<DWORD>(n - 1);
}
