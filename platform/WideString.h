// UTF-16 text, for the calls that take names exactly and for text read as UTF-16.
#pragma once

#include <memory>
#include <string>

// A string type of its own (by its allocator), so that only the members used are
// compiled in: std::wstring would bring in the whole of the library's wide string
// (35 KB, a fifteenth of the executable).
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
