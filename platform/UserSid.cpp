#include "platform/UserSid.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

WString CurrentUserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return WString();
    DWORD needed = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed > 0 ? needed : 1);
    WString sid;
    wchar_t* text = nullptr;
    if (needed > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed) &&
        ::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}
