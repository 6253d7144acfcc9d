#include "registry/RegUtil.h"
#include "support/RegScratch.h"

#include <gtest/gtest.h>

namespace {

// Each test runs against a scratch key under every one of the four roots.
class RegHelpers : public testing::TestWithParam<ScratchRoot> {
protected:
    void SetUp() override
    {
        root = GetParam().root;
        base = GetParam().path;
        DeleteTree(root, base);
        ASSERT_TRUE(CreateKey(root, base));
    }
    void TearDown() override { DeleteTree(root, base); }
    HKEY OpenFull(const std::string& sub) { return RegOpen(root, base + sub, FALSE); }

    HKEY root = nullptr;
    std::string base;
};

TEST_P(RegHelpers, NullHandlesGiveDefaultsAndFalse)
{
    EXPECT_TRUE(RegClose(nullptr));
    EXPECT_EQ("dflt", RegQueryString(nullptr, "x", "dflt"));
    EXPECT_FALSE(RegDeleteKeyIfEmpty(nullptr));
    EXPECT_EQ(nullptr, RegOpen(root, base + "\\Missing", TRUE));
    EXPECT_EQ("dflt", RegReadString(root, base + "\\Missing", "x", "dflt"));
}

TEST_P(RegHelpers, ReadsStringsAsStored)
{
    SetString(root, base, "Empty", "");
    SetString(root, base, "Text", "C:\\Program Files\\Velnor for QRX\\");
    std::string multi("first\0second\0", 14);
    HKEY key = OpenFull("");
    ASSERT_NE(nullptr, key);
    RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                   static_cast<DWORD>(multi.size()));
    const char unterminated[] = {'a', 'b', 'c'};
    RegSetValueExA(key, "Raw", 0, REG_BINARY, reinterpret_cast<const BYTE*>(unterminated), 3);
    RegClose(key);

    EXPECT_EQ("", RegReadString(root, base, "Empty", "dflt"));   // a successful read, not the default
    EXPECT_EQ("C:\\Program Files\\Velnor for QRX\\", RegReadString(root, base, "Text", ""));
    EXPECT_EQ("first", RegReadString(root, base, "Multi", ""));
    EXPECT_EQ("abc", RegReadString(root, base, "Raw", ""));
    EXPECT_EQ("dflt", RegReadString(root, base, "Absent", "dflt"));
}

TEST_P(RegHelpers, DeletesOnlyKeysWithoutSubkeysAndNamedValues)
{
    struct Case {
        const char* name;
        bool defaultValue, namedValue, subKey, longName;
        bool deleted;
    } cases[] = {
        {"bare", false, false, false, false, true},
        {"default value only", true, false, false, false, true},
        {"named value", false, true, false, false, false},
        {"default then named value", true, true, false, false, false},
        {"subkey", false, false, true, false, false},
        {"subkey and default value", true, false, true, false, false},
        {"value name longer than 260", false, false, false, true, false},
        {"default value and long name", true, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sub = base + "\\K";
        DeleteTree(root, sub);
        ASSERT_TRUE(CreateKey(root, sub));
        // The default value first: enumeration then tends to list it at position 0.
        if (c.defaultValue)
            SetString(root, sub, "", "d");
        if (c.namedValue)
            SetString(root, sub, "Keep", "k");
        if (c.longName)
            SetString(root, sub, std::string(300, 'L'), "k");
        if (c.subKey)
            CreateKey(root, sub + "\\Child");
        HKEY key = RegOpen(root, sub, FALSE);
        ASSERT_NE(nullptr, key);
        EXPECT_EQ(c.deleted ? TRUE : FALSE, RegDeleteKeyIfEmpty(key));
        RegClose(key);
        EXPECT_EQ(!c.deleted, KeyExists(root, sub));
    }
}

INSTANTIATE_TEST_SUITE_P(AllRoots, RegHelpers, testing::ValuesIn(kScratchRoots),
                         [](const testing::TestParamInfo<ScratchRoot>& info) {
                             return std::string(info.param.rootName).substr(5);
                         });

}  // namespace
