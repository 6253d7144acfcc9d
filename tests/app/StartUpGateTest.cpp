// The start-up gate run in this process: a refusal by the administrator check comes
// before the single-instance guard. (The other refusals are produced for real by the
// end-to-end tests; a standard user's token cannot be had under Wine.)
#include "app/CleanupApp.h"
#include "app/EnvChecks.h"
#include "platform/seams.h"
#include "e2e/Driver.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A standard user's group list: Everyone and Users, no Administrators.
BOOL WINAPI StandardUserToken(HANDLE, TOKEN_INFORMATION_CLASS cls, LPVOID out, DWORD size, PDWORD needed)
{
    if (cls != TokenGroups) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE everyone[SECURITY_MAX_SID_SIZE], users[SECURITY_MAX_SID_SIZE];
    DWORD everyoneSize = sizeof everyone, usersSize = sizeof users;
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize);
    CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize);
    const DWORD head = sizeof(TOKEN_GROUPS) + sizeof(SID_AND_ATTRIBUTES);
    *needed = head + everyoneSize + usersSize;
    if (out == nullptr || size < *needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* list = static_cast<TOKEN_GROUPS*>(out);
    BYTE* sids = static_cast<BYTE*>(out) + head;
    CopyMemory(sids, everyone, everyoneSize);
    CopyMemory(sids + everyoneSize, users, usersSize);
    list->GroupCount = 2;
    list->Groups[0] = {sids, SE_GROUP_ENABLED | SE_GROUP_MANDATORY};
    list->Groups[1] = {sids + everyoneSize, SE_GROUP_ENABLED | SE_GROUP_MANDATORY};
    return TRUE;
}

TEST(StartUpGate, AStandardUserIsToldSoEvenWhileAnotherInstanceRuns)
{
    // Held as a running instance holds it.
    HANDLE running = CreateMutexA(nullptr, FALSE, "Global\\CleanupVnQRXMutex");
    ASSERT_NE(nullptr, running);
    seams::getTokenInformation = &StandardUserToken;
    EXPECT_FALSE(IsAdminUser());

    std::string text, icon;
    std::thread user([&] {
        HWND box = WaitBoxOfProcess(GetCurrentProcessId(), 20000);
        if (!box)
            return;
        text = BoxText(box);
        icon = IconOf(box);
        Answer(box, IDOK);
    });
    CCleanupApp app;
    EXPECT_FALSE(app.InitInstance());
    user.join();
    seams::getTokenInformation = &::GetTokenInformation;

    EXPECT_EQ(Sjis("本ツールをご使用になるには、「管理者権限」を持つユーザーでログオンする必要があります。"), text)
        << "message 102, not a silent exit";
    EXPECT_EQ("exclamation", icon);
    EXPECT_EQ(nullptr, app.m_hMutex) << "a refused start never touches the guard";
    CloseHandle(running);
}

}  // namespace
