#include "fs/PathUtil.h"

#include <windows.h>

namespace {

bool IsLead(char c) { return ::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

}  // namespace

int IsTrailByteAt(const char* text, unsigned int pos)
{
    unsigned int i = 0;
    while (text[i] != '\0') {
        if (IsLead(text[i])) {
            if (i + 1 == pos)
                return 1;
            if (text[i + 1] == '\0')
                return 0;
            i += 2;
        } else {
            i += 1;
        }
        if (i > pos)
            return 0;
    }
    return 0;
}

int ReverseFindChar(const char* text, int ch)
{
    int found = -1;
    int i = 0;
    while (text[i] != '\0') {
        if (static_cast<BYTE>(text[i]) == static_cast<BYTE>(ch))
            found = i;
        i += (IsLead(text[i]) && text[i + 1] != '\0') ? 2 : 1;
    }
    return found;
}

std::string AddBackslash(const char* path)
{
    std::string s(path);
    const int n = static_cast<int>(s.size());
    if (n == 0 || ReverseFindChar(s.c_str(), '\\') < n - 1)
        s += '\\';
    return s;
}
