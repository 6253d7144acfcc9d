#include "fs/PathUtil.h"
#include "fs/SafeFileFind.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <random>
#include <string>

namespace {

// Shows a byte string as hex, so that a failing row says which bytes it was given.
std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "(empty)" : out;
}

struct TrailCase {
    const char* what;
    std::string text;
    unsigned int pos;
    int expected;
};

TEST(PathUtilTest, TellsTrailBytesByWalkingFromTheFirstByte)
{
    const TrailCase cases[] = {
        {"pos 0 of a double-byte text", Sjis("ソ"), 0, 0},
        {"pos 0 of a one-byte text", "abc", 0, 0},
        {"empty text, pos 0", "", 0, 0},
        {"empty text, length minus one", "", static_cast<unsigned int>(-1), 0},
        {"0x5C after a lead byte", "C:\\\x83\x5C", 4, 1},
        {"the lead byte itself", "C:\\\x83\x5C", 3, 0},
        {"a one-byte backslash", "C:\\\x83\x5C", 2, 0},
        {"0x5C after a trail byte 0x83", "\x83\x83\x5C", 2, 0},
        {"the trail byte 0x83", "\x83\x83\x5C", 1, 1},
        {"lone lead byte at the end", "ab\x83", 2, 0},
        {"lone lead byte as the whole text", "\x83", 0, 0},
        {"trail byte of the last of several characters", Sjis("表示ソ"), 5, 1},
        {"lead byte of the last of several characters", Sjis("表示ソ"), 4, 0},
        {"one-byte katakana are not lead bytes", "\xB1\x5C", 1, 0},
        {"a lead byte from the upper range", "\xE0\x5C", 1, 1},
        {"pos past the end", "ab", 7, 0},
    };
    for (const TrailCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.text) + " pos " + std::to_string(c.pos));
        EXPECT_EQ(c.expected, IsTrailByteAt(c.text.c_str(), c.pos));
    }
}

struct FindCase {
    const char* what;
    std::string text;
    int expected;
};

TEST(PathUtilTest, FindsTheLastBackslashThatIsACharacterOfItsOwn)
{
    const FindCase cases[] = {
        {"empty text", "", -1},
        {"no backslash", "abc", -1},
        {"only trail bytes 0x5C", Sjis("ソ表能"), -1},
        {"ends in a backslash", "C:\\dir\\", 6},
        {"backslash before a trail byte 0x5C", Sjis("C:\\ソ"), 2},
        {"backslash after a trail byte 0x5C", Sjis("C:\\ソ\\"), 5},
        {"0x5C after a trail byte 0x83 is a backslash", "\x83\x83\x5C", 2},
        {"a lead byte takes the 0x5C after it for its trail", "a\x83\x5C", -1},
        {"lone lead byte at the end", "a\\\x83", 1},
        {"forward slash does not count", "C:\\a/b/", 2},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.text));
        EXPECT_EQ(c.expected, ReverseFindChar(c.text.c_str(), '\\'));
    }
}

TEST(PathUtilTest, ReverseFindCharComparesOnlyFirstBytesForAnyCharacter)
{
    // 0x83 is both the lead byte of ソ and, in 0x83 0x83, a trail byte.
    EXPECT_EQ(0, ReverseFindChar("\x83\x83", 0x83));
    EXPECT_EQ(2, ReverseFindChar("\x83\x40\x83\x5C", 0x83));
    EXPECT_EQ(1, ReverseFindChar("a/b", '/'));
}

struct AppendCase {
    const char* what;
    std::string path;
    std::string expected;
};

TEST(PathUtilTest, AppendsABackslashUnlessTheLastCharacterIsOne)
{
    const AppendCase cases[] = {
        {"empty path", "", "\\"},
        {"ends in a backslash", "C:\\dir\\", "C:\\dir\\"},
        {"a drive's top folder", "C:\\", "C:\\"},
        {"ends in a trail byte 0x5C", Sjis("C:\\ソ"), Sjis("C:\\ソ\\")},
        {"drive letter and colon", "C:", "C:\\"},
        {"ends in a forward slash", "C:\\dir/", "C:\\dir/\\"},
        {"ends in a lone lead byte", "C:\\a\x83", "C:\\a\x83\\"},
        {"0x5C after a trail byte 0x83", "C:\\\x83\x83\x5C", "C:\\\x83\x83\x5C"},
        {"plain folder", "C:\\Program Files\\Velnor", "C:\\Program Files\\Velnor\\"},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.path));
        const std::string before = c.path;
        EXPECT_EQ(Hex(c.expected), Hex(AddBackslash(c.path.c_str())));
        EXPECT_EQ(Hex(c.expected), Hex(AddBackslash(c.path)));
        EXPECT_EQ(before, c.path);
    }
}

// A finder with a given root and current name, to join without a listing.
class RootedFind : public CSafeFileFind {
public:
    RootedFind(std::string root, std::string name) : m_name(std::move(name)) { m_strRoot = std::move(root); }
    std::string GetFileName() const override { return m_name; }

private:
    std::string m_name;
};

TEST(PathUtilTest, JoinsRootAndNameWithOneSeparator)
{
    const struct {
        const char* what;
        std::string root;
        std::string expected;
    } cases[] = {
        {"root ending in a trail byte 0x5C", Sjis("C:\\ソ"), Sjis("C:\\ソ\\名前")},
        {"root ending in 0x83 0x83 0x5C (a real backslash)", "C:\\\x83\x83\x5C", "C:\\\x83\x83\x5C" + Sjis("名前")},
        {"drive letter and colon", "C:", Sjis("C:\\名前")},
        {"root ending in a backslash", "\\", Sjis("\\名前")},
        {"root ending in a forward slash", "C:/", Sjis("C:/名前")},
        {"empty root", "", Sjis("\\名前")},
        {"plain folder", "C:\\dir", Sjis("C:\\dir\\名前")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Hex(c.root));
        RootedFind finder(c.root, Sjis("名前"));
        EXPECT_EQ(Hex(c.expected), Hex(finder.GetFilePath()));
        // The framework's own join differs only for the trail-byte root.
        if (!IsTrailByteAt(c.root.c_str(), static_cast<unsigned int>(c.root.size()) - 1)) {
            EXPECT_EQ(Hex(c.expected), Hex(finder.CFileFind::GetFilePath()));
        }
    }
}

// Random strings in which lead bytes, 0x5C and separators are common.
std::string RandomCp932(std::mt19937& rng)
{
    static const unsigned char kLikely[] = {'\\', '\\', '\\', '/', ':', '.', 'a', 'Z', ' ',
                                            0x81, 0x83, 0x83, 0x8A, 0x95, 0x9F, 0xE0, 0xEA, 0xFC,
                                            0x40, 0x5C, 0x5C, 0x7E, 0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<size_t> likely(0, sizeof kLikely - 1);
    std::uniform_int_distribution<int> any(1, 255);
    std::string s(static_cast<size_t>(length(rng)), '\0');
    for (char& c : s)
        c = static_cast<char>(coin(rng) ? kLikely[likely(rng)] : any(rng));
    return s;
}

TEST(PathUtilTest, AgreesWithTheSystemsDoubleByteRoutinesOnRandomText)
{
    ASSERT_EQ(932u, ::GetACP()) << "the prefix is meant to run with the Japanese code page";
    std::mt19937 rng(932);
    for (int round = 0; round < 4000; ++round) {
        const std::string s = RandomCp932(rng);
        SCOPED_TRACE(Hex(s));
        const char* text = s.c_str();
        const unsigned int n = static_cast<unsigned int>(s.size());

        // CharPrevA from just past a byte lands one byte before it exactly when that
        // byte ends a two-byte character.
        for (unsigned int pos = 0; pos < n; ++pos) {
            const int expected = (pos > 0 && ::CharPrevA(text, text + pos + 1) == text + pos - 1) ? 1 : 0;
            ASSERT_EQ(expected, IsTrailByteAt(text, pos)) << "pos " << pos;
        }

        // The last character whose first byte is a backslash, stepping with CharNextA.
        int walked = -1;
        for (const char* p = text; *p != '\0'; p = ::CharNextA(p)) {
            if (*p == '\\')
                walked = static_cast<int>(p - text);
        }
        ASSERT_EQ(walked, ReverseFindChar(text, '\\'));
        // Wine 8's StrRChrA also hits a double-byte character whose trail byte is 0x5C
        // (it packs lead and trail into one WORD, then compares only its low byte, the
        // trail) and then answers the lead byte's position, as for 83 5C A7. Exactly
        // those answers, a hit on a byte that is no backslash, are left out.
        const char* last = ::StrRChrA(text, nullptr, '\\');
        if (last == nullptr || *last == '\\') {
            ASSERT_EQ(last == nullptr ? -1 : static_cast<int>(last - text), ReverseFindChar(text, '\\'));
        }

        // PathAddBackslashA leaves an empty path empty; AddBackslash gives it a backslash
        // (checked in the table above), so empty text is left out here.
        if (n > 0) {
            char buffer[MAX_PATH] = {};
            memcpy(buffer, text, n);
            ASSERT_NE(nullptr, ::PathAddBackslashA(buffer));
            ASSERT_EQ(Hex(buffer), Hex(AddBackslash(text)));
        }
    }
}

}  // namespace
