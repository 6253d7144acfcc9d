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

std::wstring UpToNul(const WCHAR* begin, const WCHAR* end)
{
    return std::wstring(begin, std::find(begin, end, L'\0'));
}

// Letter case as the reader ignores it: ASCII letters only (measured: "[Ａ]" and "[ａ]",
// full-width, are two sections to it, and so are Greek and Cyrillic letters of two cases).
std::wstring Folded(std::wstring name)
{
    for (WCHAR& c : name)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<WCHAR>(c - L'A' + L'a');
    return name;
}

// Copies at most `room` - 1 characters of `text` and a NUL; the characters copied.
DWORD CopyCut(WCHAR* to, const std::wstring& text, DWORD room)
{
    DWORD n = static_cast<DWORD>(std::min<size_t>(text.size(), room - 1));
    std::copy(text.begin(), text.begin() + n, to);
    to[n] = L'\0';
    return n;
}

}  // namespace

CProfileText::CProfileText(const std::string& bytes)
{
    if (bytes.empty())
        return;   // an empty file has no sections at all, not even the nameless one
    std::wstring text;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, static_cast<int>(bytes.size() - 3), nullptr, 0);
        text.resize(static_cast<size_t>(n));
        if (n > 0)
            ::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, static_cast<int>(bytes.size() - 3), &text[0], n);
    } else if (bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool big = b[0] == 0xFE;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<WCHAR>(big ? (b[i] << 8) | b[i + 1] : (b[i + 1] << 8) | b[i]));
    } else {
        int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        text.resize(static_cast<size_t>(n));
        if (n > 0)
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    }
    Parse(text);
}

void CProfileText::Parse(const std::wstring& text)
{
    m_sections.emplace_back();   // the lines before the first header
    bool lastNameEmpty = false;
    bool anyEntry = false;
    const WCHAR* p = text.data();
    const WCHAR* const stop = p + text.size();
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
                section.name = UpToNul(nameBegin, nameEnd);
                m_sections.push_back(std::move(section));
                anyEntry = false;
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
            entry.value = UpToNul(valueBegin, valueEnd);
            while (nameEnd > begin && IsProfileSpace(nameEnd[-1]))
                --nameEnd;
        }
        bool nameEmpty = nameEnd == begin;
        if (nameEmpty && anyEntry && lastNameEmpty)
            continue;
        entry.name = UpToNul(begin, nameEnd);
        lastNameEmpty = entry.name.empty();
        anyEntry = true;
        m_sections.back().entries.push_back(std::move(entry));
    }
    for (size_t i = 0; i < m_sections.size(); ++i)
        m_first.emplace(Folded(m_sections[i].name), i);   // keeps the first of equal names
}

DWORD CProfileText::SectionNamesW(WCHAR* buffer, DWORD size) const
{
    if (size == 0)
        return 0;
    WCHAR* p = buffer;
    DWORD room = size - 1;   // one character is kept for the list's final NUL
    for (const Section& s : m_sections) {
        if (s.name.empty())
            continue;
        if (s.name.size() + 1 >= room) {   // does not fit with the final NUL: cut, and stop
            if (room > 0)
                p += CopyCut(p, s.name, room) + 1;
            *p = L'\0';
            return size - 2;
        }
        p += CopyCut(p, s.name, room) + 1;
        room -= static_cast<DWORD>(s.name.size() + 1);
    }
    *p = L'\0';
    return static_cast<DWORD>(p - buffer);
}

DWORD CProfileText::SectionW(const std::wstring& name, WCHAR* buffer, DWORD size) const
{
    auto found = m_first.find(Folded(UpToNul(name.data(), name.data() + name.size())));
    if (found == m_first.end()) {
        buffer[0] = buffer[1] = L'\0';
        return 0;
    }
    WCHAR* p = buffer;
    DWORD room = size;
    for (const Entry& e : m_sections[found->second].entries) {
        if (room <= 2)
            break;
        if (e.name.empty() && !e.hasValue)
            continue;
        if (!e.name.empty() && e.name[0] == L';')
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
    if (n == 0) {
        buffer[size - 1] = '\0';
        return size - 2;
    }
    return static_cast<DWORD>(n - 1);
}

DWORD CProfileText::GetSection(const char* section, char* buffer, DWORD size) const
{
    // The name is looked up as the reader does: converted from the ANSI code page.
    int length = ::MultiByteToWideChar(CP_ACP, 0, section, -1, nullptr, 0);
    std::wstring name(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, section, -1, &name[0], length);
    name.resize(name.size() - 1);

    // The UTF-16 answer gets twice the room: one character may take two bytes.
    const DWORD wideSize = size * 2;
    if (m_wide.size() < wideSize)
        m_wide.resize(wideSize);
    DWORD wide = SectionW(name, m_wide.data(), wideSize);
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
