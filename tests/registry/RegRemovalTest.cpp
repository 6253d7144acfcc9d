// The removal pass over small data files written for the test, against scratch keys.
#include "registry/ProfileText.h"
#include "registry/RegRemoval.h"
#include "registry/RegUtil.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Lines joined with CR LF, the last one included.
std::string Crlf(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

class RegPass : public testing::Test {
protected:
    void SetUp() override
    {
        for (const ScratchRoot& r : kScratchRoots)
            DeleteTree(r.root, r.path);
    }
    void TearDown() override
    {
        for (const ScratchRoot& r : kScratchRoots)
            DeleteTree(r.root, r.path);
    }
    size_t Run(const std::string& bytes) { return RunRegistryPass(CProfileText(bytes)); }
};

const std::string kCu = "HKEY_CURRENT_USER\\Software\\VnQRXTest";
const char kCuPath[] = "Software\\VnQRXTest";

TEST_F(RegPass, WorksSubkeysBeforeParentsAndDeletesKeysLeftEmpty)
{
    const std::string cu = kCu;
    CreateKey(HKEY_CURRENT_USER, std::string(kCuPath) + "\\Parent\\Child");
    SetString(HKEY_CURRENT_USER, std::string(kCuPath) + "\\Parent", "", "default");
    SetString(HKEY_CURRENT_USER, std::string(kCuPath) + "\\Parent", "A", "1");
    SetDword(HKEY_CURRENT_USER, std::string(kCuPath) + "\\Parent\\Child", "B", 2);
    CreateKey(HKEY_CURRENT_USER, std::string(kCuPath) + "\\Bare");
    size_t calls = Run(Crlf({"[" + cu + "]", "",
                             "[" + cu + "\\Bare]", "",
                             "[" + cu + "\\Missing]", "\"Nothing\"=\"here\"", "",
                             "[" + cu + "\\Parent]", "@=\"default\"", "\"A\"=\"1\"", "",
                             "[" + cu + "\\Parent\\Child]", "\"B\"=dword:00000002"}));
    EXPECT_EQ(6u, calls);   // 2 sections without lines, 4 entry lines
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCuPath)) << "the whole listed tree goes";
}

TEST_F(RegPass, KeepsWhatTheFileDoesNotList)
{
    const std::string k = std::string(kCuPath) + "\\Shared";
    SetString(HKEY_CURRENT_USER, k, "", "default");        // enumerated before the decoy
    SetString(HKEY_CURRENT_USER, k, "Listed", "x");
    SetString(HKEY_CURRENT_USER, k, "Decoy", "other product");
    CreateKey(HKEY_CURRENT_USER, std::string(kCuPath) + "\\WithChild\\Unlisted");
    Run(Crlf({"[" + kCu + "]", "",
              "[" + kCu + "\\Shared]", "@=\"default\"", "\"Listed\"=\"x\"", "",
              "[" + kCu + "\\WithChild]", ""}));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, ""));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, "Listed"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, k, "Decoy"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(kCuPath) + "\\WithChild\\Unlisted"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kCuPath));
}

TEST_F(RegPass, DefaultValueLinesAndAValueNamedAt)
{
    // "@" with quotes is, once the quotes are gone, the default value too.
    const std::string k = std::string(kCuPath) + "\\At";
    SetString(HKEY_CURRENT_USER, k, "", "default");
    SetString(HKEY_CURRENT_USER, k, "@", "literal");
    Run(Crlf({"[" + kCu + "\\At]", "\"@\"=\"literal\""}));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, ""));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, k, "@"));
}

TEST_F(RegPass, ValueNamesAreTakenExactly)
{
    const std::string k = std::string(kCuPath) + "\\Names";
    const std::string folder = Sjis("C:\\Program Files\\Velnor for QRX\\ソフト\\表示\\");   // 0x5C trail bytes
    const std::string soName = Sjis("能力ソ");
    SetString(HKEY_CURRENT_USER, k, folder, "");
    SetString(HKEY_CURRENT_USER, k, soName, "x");
    SetString(HKEY_CURRENT_USER, k, "Cmd", "\"a=b\" \"%1\"");
    SetString(HKEY_CURRENT_USER, k, "Path", "%ProgramFiles%", REG_EXPAND_SZ);
    SetString(HKEY_CURRENT_USER, k, "Keep", "x");
    Run(Crlf({"[" + kCu + "\\Names]",
              "\"" + folder + "\"=\"\"",
              "\"" + soName + "\"=\"" + Sjis("表=示") + "\"",
              "\"Cmd\"=\"\\\"a=b\\\" \\\"%1\\\"\"",
              "\"Path\"=hex(2):25,00,50,00,\\",
              "  72,00,6f,00,00,00"}));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, folder));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, soName));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, "Cmd"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, "Path"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, k, "Keep"));
}

TEST_F(RegPass, SkipsSectionsWithUnknownRoots)
{
    const std::string k = std::string(kCuPath) + "\\Roots";
    SetString(HKEY_CURRENT_USER, k, "V", "x");
    const std::string sub = "Software\\VnQRXTest\\Roots";
    size_t calls = Run(Crlf({"[hkey_current_user\\" + sub + "]", "\"V\"=\"x\"", "",
                             "[HKEY_CURRENT_CONFIG\\" + sub + "]", "\"V\"=\"x\"", "",
                             "[HKCU\\" + sub + "]", "\"V\"=\"x\"", "",
                             "[NoBackslash]", "\"V\"=\"x\""}));
    EXPECT_EQ(4u, calls);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, k, "V"));
    EXPECT_FALSE(RemoveRegistryEntry("Software\\VnQRXTest\\Roots", "V"));
    EXPECT_FALSE(RemoveRegistryEntry("", ""));
}

TEST_F(RegPass, ReachesEveryRoot)
{
    std::string text;
    for (const ScratchRoot& r : kScratchRoots) {
        SetString(r.root, r.path, "V", "x");
        text += "[" + std::string(r.rootName) + "\\" + r.path + "]\r\n\"V\"=\"x\"\r\n\r\n";
    }
    Run(text);
    for (const ScratchRoot& r : kScratchRoots)
        EXPECT_FALSE(KeyExists(r.root, r.path)) << r.rootName;
}

// The one rule every line follows, through the entry calls the pass is built on: what
// one line leaves of its key.
TEST_F(RegPass, EachLineDeletesItsValueThenItsKeyIfLeftEmpty)
{
    const std::string k = std::string(kCuPath) + "\\Line";
    struct Row {
        const char* what;
        std::vector<std::string> values;   // staged ("" the default value); none: the key only
        bool subKey, createKey;
        const char* line;                  // the value name the line gives
        BOOL result;
        bool keyStays;
    } rows[] = {
        {"its value, then the key left empty", {"A"}, false, true, "A", TRUE, false},
        {"its value; another named value keeps the key", {"A", "Keep"}, false, true, "A", TRUE, true},
        {"the default value", {""}, false, true, "@", TRUE, false},
        {"no such value: the key left empty still goes", {}, false, true, "A", TRUE, false},
        {"no such value: a named value keeps the key", {"Keep"}, false, true, "A", TRUE, true},
        {"no value named: a default value alone does not keep the key", {""}, false, true, "", TRUE, false},
        {"a subkey keeps the key", {"A"}, true, true, "A", TRUE, true},
        {"no key", {}, false, false, "A", FALSE, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        DeleteTree(HKEY_CURRENT_USER, k);
        if (r.createKey)
            ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, k));
        for (const std::string& v : r.values)
            SetString(HKEY_CURRENT_USER, k, v, "x");
        if (r.subKey)
            CreateKey(HKEY_CURRENT_USER, k + "\\Sub");
        EXPECT_EQ(r.result, RemoveRegistryEntry(kCu + "\\Line", r.line));
        EXPECT_EQ(r.keyStays, KeyExists(HKEY_CURRENT_USER, k));
        if (r.keyStays) {
            EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, std::string(r.line) == "@" ? "" : r.line));
            EXPECT_EQ(std::find(r.values.begin(), r.values.end(), "Keep") != r.values.end(),
                      ValueExists(HKEY_CURRENT_USER, k, "Keep"));
        }
    }
    // The same rule for all of a section's lines on the key the pass holds.
    DeleteTree(HKEY_CURRENT_USER, k);
    for (const char* v : {"", "A", "B"})
        SetString(HKEY_CURRENT_USER, k, v, "x");
    HKEY key = RegOpenListed(HKEY_CURRENT_USER, k, RegReadAnchors());
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(TRUE, RegDeleteEntries(key, {"@", "A", "", "B"}));
    RegCloseKey(key);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, k));
}

// Another program of the user can make any key of the user's own hive a registry link,
// to a key of the machine's. Nothing the link leads to is touched, and the link stays.
TEST_F(RegPass, NeverFollowsARegistryLink)
{
    const std::string victim = std::string(kScratchRoots[2].path) + "\\Victim";   // HKEY_LOCAL_MACHINE
    SetString(HKEY_LOCAL_MACHINE, victim, "A", "machine's");
    SetString(HKEY_LOCAL_MACHINE, victim + "\\Child", "C", "machine's");
    CreateKey(HKEY_LOCAL_MACHINE, victim + "\\Bare");
    const std::string link = std::string(kCuPath) + "\\Link";
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, link, HKEY_LOCAL_MACHINE, victim));
    ASSERT_TRUE(ValueExists(HKEY_CURRENT_USER, link, "A")) << "the link leads to the machine's key";
    // A class the user's classes hold as a link to the same key.
    const std::string userClass = std::string("Software\\Classes\\") + kScratchRoots[0].path;
    const bool hadClasses = KeyExists(HKEY_CURRENT_USER, "Software\\Classes");
    CreateKey(HKEY_CURRENT_USER, "Software\\Classes");
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, userClass, HKEY_LOCAL_MACHINE, victim));
    const std::string cr = std::string("HKEY_CLASSES_ROOT\\") + kScratchRoots[0].path;

    Run(Crlf({"[" + kCu + "\\Link]", "\"A\"=\"x\"", "",               // the listed key is the link
              "[" + kCu + "\\Link\\Bare]", "",                         // a link above it
              "[" + kCu + "\\Link\\Child]", "\"C\"=\"x\"", "",
              "[" + cr + "]", "\"A\"=\"x\"", "",
              "[" + cr + "\\Bare]", ""}));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim, "A"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim + "\\Child", "C"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, victim + "\\Bare"));
    EXPECT_TRUE(IsRegistryLink(HKEY_CURRENT_USER, link));
    EXPECT_TRUE(IsRegistryLink(HKEY_CURRENT_USER, userClass));
    // Nor through the entry calls.
    EXPECT_FALSE(RemoveRegistryEntry(kCu + "\\Link", "A"));
    EXPECT_FALSE(RemoveRegistryEntry(kCu + "\\Link\\Bare", ""));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim, "A"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, victim + "\\Bare"));

    DeleteTree(HKEY_CURRENT_USER, userClass);
    if (!hadClasses)
        DeleteTree(HKEY_CURRENT_USER, "Software\\Classes");
}

// A listed class is worked where the machine registers it and where the user's own
// classes hold a copy of it, which on Windows would hide the machine's from a pass
// through HKEY_CLASSES_ROOT. The same lines and the same emptiness rule in each.
TEST_F(RegPass, WorksAClassInTheMachinesAndInTheUsersClasses)
{
    const std::string machine = std::string("Software\\Classes\\") + kScratchRoots[0].path;
    const std::string user = machine;
    const bool hadClasses = KeyExists(HKEY_CURRENT_USER, "Software\\Classes");
    SetString(HKEY_LOCAL_MACHINE, machine + "\\shell", "", "open");
    SetString(HKEY_LOCAL_MACHINE, machine + "\\shell", "Listed", "x");
    SetString(HKEY_CURRENT_USER, user + "\\shell", "", "open");
    SetString(HKEY_CURRENT_USER, user + "\\shell", "Listed", "x");
    SetString(HKEY_CURRENT_USER, user + "\\shell", "Unlisted", "the user's");
    const std::string cr = std::string("HKEY_CLASSES_ROOT\\") + kScratchRoots[0].path;
    Run(Crlf({"[" + cr + "]", "", "[" + cr + "\\shell]", "@=\"open\"", "\"Listed\"=\"x\""}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, machine));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, user + "\\shell", ""));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, user + "\\shell", "Listed"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, user + "\\shell", "Unlisted"));
    DeleteTree(HKEY_CURRENT_USER, user);
    if (!hadClasses)
        DeleteTree(HKEY_CURRENT_USER, "Software\\Classes");
}

TEST(EntryValueName, RemovesQuotesAndCutsAtTheFirstEqualsSign)
{
    struct Row {
        std::string line, name;
    } rows[] = {
        {"@=\"x\"", "@"},
        {"\"Name\"=\"a=b\"", "Name"},
        {"\"Cmd\"=\"\\\"C:\\x.exe\\\" \\\"%1\\\"\"", "Cmd"},
        {"\"C:\\dir\\\"=\"\"", "C:\\dir\\"},
        {"\"@\"=\"x\"", "@"},
        {"72,00,6f,00,00,00", ""},
        {"", ""},
        {"\"\"=\"x\"", ""},
        {Sjis("\"ソ表\"=\"\""), Sjis("ソ表")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(Utf8(r.line));
        EXPECT_EQ(r.name, EntryValueName(r.line));
    }
}

TEST(SplitProfileList, DropsTheCutOffLastString)
{
    const char full[] = "one\0two\0three\0";
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), SplitProfileList(full, 13, 100));
    // A reader that ran out of room answers size - 2 and cuts the last string short.
    const char cut[] = "one\0two\0thr\0";
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), SplitProfileList(cut, 11, 13));
    EXPECT_TRUE(SplitProfileList("\0", 0, 10).empty());
}

TEST(SplitProfileList, ReadsNothingPastTheBufferWhateverItHolds)
{
    // Each buffer ends where a page ends: a read past its last byte faults.
    const struct {
        const char* what;
        std::string bytes;
        DWORD returned;
        std::vector<std::string> taken;
    } rows[] = {
        {"no NUL at all", "abcdef", 4, {}},
        {"no NUL at all, a full answer", "abcdef", 0, {}},
        {"the list's last NUL left out", std::string("one\0two\0", 8), 6, {"one"}},
        {"cut off, the last byte left as it was", std::string("one\0two\0thr\0\x7f", 13), 11, {"one", "two"}},
        {"cut off in a double-byte name", std::string("one\0", 4) + Sjis("表示") + std::string("\0", 1), 7, {"one"}},
        {"cut off, two NULs at the end", std::string("one\0two\0thr\0\0", 13), 11, {"one", "two"}},
        {"a full list filling the buffer", std::string("one\0two\0\0", 9), 8, {"one", "two"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const DWORD size = static_cast<DWORD>(r.bytes.size());
        PageEndBuffer buffer(size, '\0');
        ASSERT_NE(nullptr, buffer.data());
        std::copy(r.bytes.begin(), r.bytes.end(), buffer.data());
        EXPECT_EQ(r.taken, SplitProfileList(buffer.data(), r.returned, size));
    }
}

TEST_F(RegPass, NeverActsOnALineCutOffByTheBuffer)
{
    // One section far larger than the 65,535-byte buffer. Every value name is also
    // present cut short (unlisted decoys), so acting on a cut-off line would show.
    const std::string k = std::string(kCuPath) + "\\Big";
    std::string text = "[" + kCu + "\\Big]\r\n";
    std::vector<std::string> names;
    for (int i = 0; i < 2500; ++i) {
        char name[32];
        wsprintfA(name, "Value%05d", i);
        names.push_back(name);
        text += "\"" + std::string(name) + "\"=\"" + std::string(20, 'x') + "\"\r\n";
    }
    for (const std::string& n : names) {
        SetString(HKEY_CURRENT_USER, k, n, "listed");
        for (size_t len = 1; len < n.size(); ++len)
            SetString(HKEY_CURRENT_USER, k, n.substr(0, len), "decoy");
    }
    Run(text);
    size_t deleted = 0;
    for (const std::string& n : names)
        deleted += ValueExists(HKEY_CURRENT_USER, k, n) ? 0 : 1;
    EXPECT_GT(deleted, 1500u);
    EXPECT_LT(deleted, names.size());
    for (size_t i = 0; i < deleted; ++i)
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, k, names[i])) << "lines are worked in order";
    for (const std::string& n : names)
        for (size_t len = 1; len < n.size(); ++len)
            ASSERT_TRUE(ValueExists(HKEY_CURRENT_USER, k, n.substr(0, len))) << n.substr(0, len);
}

}  // namespace

namespace {

// Random lines of valid code-page-932 characters (0x5C trail bytes among them), quotes,
// equals signs and backslashes. In valid text '"' and '=' are never trail bytes, so the
// plain byte-wise reading must give the same name as the character walk.
TEST(EntryValueName, AgreesWithTheByteWiseReadingOnRandomLines)
{
    const std::string pieces[] = {"\"", "=", "\\", "@", "a", "Z", "0", " ", ",", Sjis("ソ"), Sjis("表"), Sjis("能"),
                                  Sjis("十"), Sjis("予"), Sjis("ポ"), Sjis("ｱ"), Sjis("日本")};
    unsigned seed = 1041;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 5000; ++round) {
        std::string line;
        for (unsigned n = next() % 24; n > 0; --n)
            line += pieces[next() % (sizeof pieces / sizeof pieces[0])];
        std::string unquoted;
        for (char c : line)
            if (c != '"')
                unquoted += c;
        size_t equals = unquoted.find('=');
        const std::string expected = equals == std::string::npos ? "" : unquoted.substr(0, equals);
        ASSERT_EQ(expected, EntryValueName(line)) << Utf8(line);
    }
}

}  // namespace
