// Path helpers for 8-bit strings in the ANSI code page (932 on the target). They walk the
// string from its first byte, one character at a time, so that the second byte of a
// double-byte character (which can be 0x5C, the backslash byte) is never taken for a
// separator.
#pragma once

#include <string>

// 1 when, walking `text` from its start, a two-byte character has its trail byte at `pos`.
int IsTrailByteAt(const char* text, unsigned int pos);
// Index of the last character of `text` whose first byte is `ch`, or -1.
int ReverseFindChar(const char* text, int ch);
// `path` with one backslash appended unless its last character is a backslash.
std::string AddBackslash(const char* path);
inline std::string AddBackslash(const std::string& path) { return AddBackslash(path.c_str()); }

// UTF-16 text, for the calls that take names exactly. A string type of its own (by its
// allocator), so that only the members used are compiled in: std::wstring would bring
// in the whole of the library's wide string, a fifteenth of the executable.
template <class T>
struct WideAllocator : std::allocator<T> {
    WideAllocator() = default;
    template <class U>
    WideAllocator(const WideAllocator<U>&) noexcept {}
    template <class U>
    struct rebind {
        using other = WideAllocator<U>;
    };
};
using WString = std::basic_string<wchar_t, std::char_traits<wchar_t>, WideAllocator<wchar_t>>;
