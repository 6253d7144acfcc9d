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
