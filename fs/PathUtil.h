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

