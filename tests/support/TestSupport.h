// Helpers shared by the test programs.
#pragma once

#include <windows.h>
#include <string>

// UTF-8 text (as written in the test sources) in code page 932.
std::string Sjis(const std::string& utf8);
// Code page 932 text as UTF-8, for readable failure messages.
std::string Utf8(const std::string& sjis);
// Code page 932 text in UTF-16, and back (as the code page converts, best fit included).
std::wstring Wide(const std::string& ansi);
std::string Ansi(const std::wstring& wide);

// `size` bytes that end where a committed page ends: the page after them can be neither
// read nor written, so code that goes past them faults there and then. data() is null
// when the system gave no such pages.
class PageEndBuffer {
public:
    PageEndBuffer(size_t size, char fill);
    ~PageEndBuffer();
    PageEndBuffer(const PageEndBuffer&) = delete;
    PageEndBuffer& operator=(const PageEndBuffer&) = delete;
    char* data() { return m_data; }

private:
    void* m_base = nullptr;
    char* m_data = nullptr;
};
