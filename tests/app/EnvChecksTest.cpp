#include "app/EnvChecks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(OSKind, ClassifiesEveryVersionFamily)
{
    struct Row {
        DWORD major, minor;
        int kind;
    } rows[] = {
        {3, 51, OS_OTHER}, {4, 0, OS_OTHER}, {4, 10, OS_OTHER}, {4, 90, OS_WINME},  {5, 0, OS_WIN2000},
        {5, 1, OS_WINXP},  {5, 2, OS_OTHER}, {6, 0, OS_NT6},    {6, 1, OS_NT6},     {6, 2, OS_NT6},
        {6, 3, OS_NT6},    {7, 0, OS_NEWER}, {10, 0, OS_NEWER}, {0, 0, OS_OTHER},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.major << "." << r.minor);
        EXPECT_EQ(r.kind, ClassifyOSVersion(r.major, r.minor));
    }
}

TEST(OSKind, NoVersionGivesTheUnusedValueOne)
{
    for (DWORD major = 0; major < 12; ++major)
        for (DWORD minor = 0; minor < 100; ++minor)
            ASSERT_NE(1, ClassifyOSVersion(major, minor)) << major << "." << minor;
}

TEST(OSKind, ThisSystemPassesTheGate) { EXPECT_EQ(OS_NT6, GetOSKind()); }

// Builds a TOKEN_GROUPS of the given SIDs and attributes.
struct GroupList {
    explicit GroupList(const std::vector<std::pair<PSID, DWORD>>& groups)
        : buffer(sizeof(TOKEN_GROUPS) + groups.size() * sizeof(SID_AND_ATTRIBUTES))
    {
        auto* list = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
        list->GroupCount = static_cast<DWORD>(groups.size());
        for (size_t i = 0; i < groups.size(); ++i) {
            list->Groups[i].Sid = groups[i].first;
            list->Groups[i].Attributes = groups[i].second;
        }
    }
    const TOKEN_GROUPS* get() const { return reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()); }
    std::vector<unsigned char> buffer;
};

class AdminWalk : public testing::Test {
protected:
    void SetUp() override
    {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                             0, 0, &admins));
        ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0,
                                             0, 0, &users));
        ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_POWER_USERS, 0, 0,
                                             0, 0, 0, 0, &powerUsers));
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    }
    void TearDown() override
    {
        for (PSID s : {admins, users, powerUsers, everyone})
            if (s)
                FreeSid(s);
    }
    PSID admins = nullptr, users = nullptr, powerUsers = nullptr, everyone = nullptr;
};

TEST_F(AdminWalk, FindsAdministratorsWhateverTheirAttributes)
{
    const DWORD enabled = SE_GROUP_ENABLED | SE_GROUP_MANDATORY;
    EXPECT_TRUE(GroupsContainSid(GroupList({{everyone, enabled}, {users, enabled}, {admins, enabled}}).get(), admins));
    // The filtered token of a non-elevated administrator holds the group for deny checks only.
    EXPECT_TRUE(GroupsContainSid(GroupList({{everyone, enabled}, {admins, SE_GROUP_USE_FOR_DENY_ONLY}}).get(), admins));
    EXPECT_TRUE(GroupsContainSid(GroupList({{admins, 0}}).get(), admins));
}

TEST_F(AdminWalk, OtherPrivilegedGroupsDoNotCount)
{
    const DWORD enabled = SE_GROUP_ENABLED;
    EXPECT_FALSE(GroupsContainSid(GroupList({{everyone, enabled}, {users, enabled}, {powerUsers, enabled}}).get(), admins));
    EXPECT_FALSE(GroupsContainSid(GroupList({}).get(), admins));
    EXPECT_FALSE(GroupsContainSid(nullptr, admins));
}

TEST(AdminCheck, TheWineUserIsAnAdministrator) { EXPECT_TRUE(IsAdminUser()); }

const char kScratch[] = "Software\\VnQRXTest\\Dword";
const char kPolicy[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

enum class Stored { NoKey, NoValue, Dword, Qword, TwoBytes };

// Writes one case of the value under `root\path` (`name`), and restores what was there before.
class ValueCase {
public:
    ValueCase(HKEY root, const char* path, const char* name) : root_(root), path_(path), name_(name)
    {
        HKEY key;
        if (RegOpenKeyExA(root_, path_, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            keyExisted_ = true;
            DWORD size = sizeof saved_;
            savedOk_ = RegQueryValueExA(key, name_, nullptr, &savedType_, saved_, &size) == ERROR_SUCCESS;
            savedSize_ = size;
            RegCloseKey(key);
        }
    }
    ~ValueCase()
    {
        if (!keyExisted_) {
            RegDeleteKeyA(root_, path_);
            return;
        }
        HKEY key;
        if (RegCreateKeyExA(root_, path_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        if (savedOk_)
            RegSetValueExA(key, name_, 0, savedType_, saved_, savedSize_);
        else
            RegDeleteValueA(key, name_);
        RegCloseKey(key);
    }
    void Set(Stored how, ULONGLONG data)
    {
        if (how == Stored::NoKey) {
            RegDeleteKeyA(root_, path_);
            return;
        }
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root_, path_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegDeleteValueA(key, name_);
        if (how == Stored::Dword) {
            DWORD d = static_cast<DWORD>(data);
            RegSetValueExA(key, name_, 0, REG_DWORD, reinterpret_cast<BYTE*>(&d), sizeof d);
        } else if (how == Stored::Qword) {
            RegSetValueExA(key, name_, 0, REG_QWORD, reinterpret_cast<BYTE*>(&data), sizeof data);
        } else if (how == Stored::TwoBytes) {
            RegSetValueExA(key, name_, 0, REG_BINARY, reinterpret_cast<BYTE*>(&data), 2);
        }
        RegCloseKey(key);
    }

private:
    HKEY root_;
    const char* path_;
    const char* name_;
    bool keyExisted_ = false, savedOk_ = false;
    DWORD savedType_ = 0, savedSize_ = 0;
    BYTE saved_[64] = {};
};

struct DwordRow {
    Stored how;
    ULONGLONG data;
    DWORD expected;   // with 77 as the default
    BOOL uac;
};
const DwordRow kDwordRows[] = {
    {Stored::NoKey, 0, 77, FALSE},   {Stored::NoValue, 0, 77, FALSE}, {Stored::Dword, 0, 0, FALSE},
    {Stored::Dword, 1, 1, TRUE},     {Stored::Dword, 2, 2, TRUE},     {Stored::Qword, 1, 77, FALSE},
    {Stored::TwoBytes, 0x0101, 0x0101, TRUE},
};

TEST(RegReadDword, ReadsAtMostFourBytesOrGivesTheDefault)
{
    for (const DwordRow& r : kDwordRows) {
        SCOPED_TRACE(testing::Message() << "case " << static_cast<int>(r.how) << " data " << r.data);
        ValueCase vc(HKEY_CURRENT_USER, kScratch, "Value");
        vc.Set(r.how, r.data);
        EXPECT_EQ(r.expected, RegReadDword(HKEY_CURRENT_USER, kScratch, "Value", 77));
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VnQRXTest");
}

TEST(IsUacEnabled, FollowsThePolicyValue)
{
    for (const DwordRow& r : kDwordRows) {
        if (r.how == Stored::NoKey)
            continue;   // the policy key is the system's own: never removed
        SCOPED_TRACE(testing::Message() << "case " << static_cast<int>(r.how) << " data " << r.data);
        ValueCase vc(HKEY_LOCAL_MACHINE, kPolicy, "EnableLUA");
        vc.Set(r.how, r.data);
        EXPECT_EQ(r.uac, IsUacEnabled());
    }
    EXPECT_TRUE(IsUacEnabled()) << "the prefix's EnableLUA was not restored";
}

}  // namespace
