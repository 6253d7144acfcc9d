// The in-memory reading of a data file against the system's profile reader on the same
// bytes, written to a file: every buffer byte and every result alike, at the pass's own
// buffer size and at sizes that cut the answer short.
#include "registry/ProfileText.h"
#include "registry/RegRemoval.h"
#include "support/RegFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace {

std::string TempPath(const std::string& name)
{
    char dir[MAX_PATH + 1];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

std::string Numbered(const char* format, int count)
{
    std::string all;
    for (int i = 0; i < count; ++i) {
        char line[200];
        wsprintfA(line, format, i, i);
        all += line;
    }
    return all;
}

struct Case {
    const char* name;
    std::string bytes;
};

std::vector<Case> Cases()
{
    return {
        {"shipped data file", EmbeddedRegData()},
        {"comments", "; about\r\n[S]\r\n;x=1\r\na=1\r\n  ;indented=2\r\n; last\r\n"},
        {"blanks and spaces", "\r\n\r\n  [ S ]  \r\n\t a = 1 \t\r\n\r\n b\r\n \x0b\x0c\r\n"},
        {"duplicate sections", "[S]\r\na=1\r\n[T]\r\nb=2\r\n[S]\r\nc=3\r\n[s]\r\nd=4\r\n"},
        {"lines without equals sign", "[S]\r\nabc\r\n\"q\"\r\n=v\r\n=w\r\nx=\r\n=\r\ny\r\n=z\r\n"},
        {"long lines", "[S]\r\n" + std::string(3000, 'n') + "=" + std::string(70000, 'v') + "\r\nb=1\r\n[" +
                           std::string(2000, 'T') + "]\r\nc=1\r\n"},
        {"double-byte names with 0x5C trail bytes",
         Sjis("[HKEY_CURRENT_USER\\ソフト\\表示]\r\n\"能力ソ\"=\"十\\\"\r\n\"C:\\予\\\"=\"\"\r\n[表]\r\n@=\"ソ\"\r\n")},
        {"LF only", "[S]\na=1\nb=2\n[T]\nc\n\n"},
        {"CR only", "[S]\ra=1\r[T]\rb\r"},
        {"mixed line ends, no final one", "[S]\r\na=1\n\rb=2\r\r\nc=3"},
        {"odd headers", "[S]]x\r\n[no close\r\nk=1\r\n[]\r\nl=2\r\n[ ]\r\nm=3\r\n]\r\n[[x]]\r\nn=4\r\n[a]b]\r\n"},
        {"lines before the first section", "pre=1\r\nalone\r\n[S]\r\na=1\r\n"},
        {"section names beyond the buffer", Numbered("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Key%05d]\r\nv%d=1\r\n", 2500)},
        {"section lines beyond the buffer", "[Big]\r\n" + Numbered("\"Value%05d\"=\"xxxxxxxxxxxxxxxxxxxx%d\"\r\n", 2500)},
        {"double-byte text across the buffer's end", "[Big]\r\n" + Repeat(Sjis("表示ソフト=能力\r\n"), 4000)},
        {"UTF-8 signature", "\xEF\xBB\xBF[S]\r\na=\xE3\x81\x82\r\n[\xE8\xA1\xA8]\r\nb=1\r\n"},
        {"UTF-16 signature", std::string("\xFF\xFE[\0S\0]\0\r\0\n\0a\0=\0""1\0\r\0\n\0", 22)},
        {"empty file", ""},
        {"only spaces", " \r\n\t\r\n"},
        {"NUL bytes", std::string("[S]\r\na\0b=1\r\nc=2\0x\r\n[T\0U]\r\nd=1\r\n[\0V]\r\ne=1\r\n", 46)},
        {"end-of-file mark", "[S]\r\na=1\x1a\r\n\x1a[T]\r\nb\r\n"},
        {"full-width letters in two cases", Sjis("[Ａ]\r\na=1\r\n[ａ]\r\nb=2\r\n")},
        {"Greek and Cyrillic letters in two cases", Sjis("[Σ]\r\na=1\r\n[σ]\r\nb=2\r\n[Д]\r\nc=1\r\n[д]\r\nd=2\r\n")},
        {"cut-off double-byte characters", "[S\x81]\r\n\x81=1\r\n[T]\r\nx\x81\r\n\x81"},
        {"ideographic spaces", Sjis("　[S]　\r\n[S2]\r\n　a　=　1　\r\n")},
    };
}

// A name's ASCII letters in the other case.
std::string OtherCase(const std::string& name)
{
    std::string other = name;
    for (char& c : other) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return other;
}

// The zero-terminated strings of a full (not cut-off) reader answer.
std::vector<std::string> Strings(const std::vector<char>& buffer)
{
    std::vector<std::string> all;
    for (const char* p = buffer.data(); *p != '\0'; p += all.back().size() + 1)
        all.emplace_back(p);
    return all;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The list of section names from the system's reader and from ours at `size`, each in a
// buffer that ends where a page ends: the same result and the same bytes, but that ours
// ends an answer of size - 2 in two NULs at the buffer's end, as Windows documents (Wine
// 8 leaves the last byte as it was, or the one before it half a character). `theirs` and
// `ours` get the answers.
DWORD CompareNames(const std::string& path, const CProfileText& text, DWORD size, std::string& theirs,
                   std::string& ours)
{
    PageEndBuffer t(size, '\x7f'), o(size, '\x7f');
    if (t.data() == nullptr || o.data() == nullptr) {
        ADD_FAILURE() << "no buffer at a page's end";
        return 0;
    }
    const DWORD got = GetPrivateProfileSectionNamesA(t.data(), size, path.c_str());
    EXPECT_EQ(got, text.GetSectionNames(o.data(), size)) << "names, size " << size;
    theirs.assign(t.data(), size);
    ours.assign(o.data(), size);
    std::string expected = theirs;
    if (got == size - 2)
        expected[size - 2] = expected[size - 1] = '\0';
    EXPECT_TRUE(expected == ours) << "names, size " << size;
    return got;
}

class ProfileText : public testing::TestWithParam<int> {};

TEST_P(ProfileText, GivesWhatTheProfileReaderGivesForTheSameFile)
{
    const Case c = Cases()[static_cast<size_t>(GetParam())];
    SCOPED_TRACE(c.name);
    // A name of its own for each case: the reader keeps files it has read in a cache.
    const std::string path = TempPath("VnQRXProfile" + std::to_string(GetParam()) + ".dat");
    WriteBytes(path, c.bytes);
    const CProfileText text(c.bytes);
    const DWORD kFull = 65535;

    auto compareNames = [&](DWORD size) {
        std::string theirs, ours;
        return CompareNames(path, text, size, theirs, ours);
    };
    auto compareSection = [&](const std::string& name, DWORD size) {
        std::vector<char> theirs(size, '\x7f'), ours(size, '\x7f');
        DWORD t = GetPrivateProfileSectionA(name.c_str(), theirs.data(), size, path.c_str());
        DWORD o = text.GetSection(name.c_str(), ours.data(), size);
        EXPECT_EQ(t, o) << "section \"" << Utf8(name) << "\", size " << size;
        EXPECT_TRUE(theirs == ours) << "section \"" << Utf8(name) << "\", size " << size;
        return t;
    };

    // Sizes: the pass's own, and around the end of the answer, where it gets cut.
    DWORD all = compareNames(kFull);
    for (DWORD size : std::vector<DWORD>{3, 4, 5, 9, 17, 64, all, all + 1, all + 2, all + 3})
        if (size >= 3 && size < kFull)
            compareNames(size);

    std::vector<char> names(kFull, '\0');
    GetPrivateProfileSectionNamesA(names.data(), kFull, path.c_str());
    std::set<std::string> lookups = {"", "S", "s", "Missing", "Big"};
    for (const std::string& name : Strings(names)) {
        lookups.insert(name);
        lookups.insert(OtherCase(name));
        lookups.insert(" " + name);
    }
    const bool many = lookups.size() > 50;   // the shipped file: every section at full size
    for (const std::string& name : lookups) {
        DWORD length = compareSection(name, kFull);
        if (many)
            continue;
        for (DWORD size : std::vector<DWORD>{3, 4, 5, 9, 17, length, length + 1, length + 2, length + 3})
            if (size >= 3 && size < kFull)
                compareSection(name, size);
    }
    DeleteFileA(path.c_str());
}

// Lists of names cut at every size up to the whole list and past it, the cut falling
// exactly at the buffer's end among them: against the system's reader, and as the pass
// takes them, whole names only.
TEST(ProfileTextNames, ACutOffListEndsWithinTheBufferAndGivesOnlyWholeNames)
{
    const std::string files[] = {
        "[abcdefgh]\r\n[ijk]\r\n[l]\r\n",
        Sjis("[表示ソフト表示]\r\n[ソ]\r\n[能力]\r\n"),
        Sjis("[a]\r\n[b表示ソフト]\r\n[c]\r\n"),
    };
    for (size_t i = 0; i < sizeof files / sizeof files[0]; ++i) {
        SCOPED_TRACE(Utf8(files[i]));
        const std::string path = TempPath("VnQRXNamesCut" + std::to_string(i) + ".dat");
        WriteBytes(path, files[i]);
        const CProfileText text(files[i]);
        std::vector<char> full(1024, '\0');
        const DWORD all = GetPrivateProfileSectionNamesA(full.data(), 1024, path.c_str());
        const std::vector<std::string> names = Strings(full);
        ASSERT_EQ(3u, names.size());
        for (DWORD size = 3; size <= all + 3; ++size) {
            SCOPED_TRACE(size);
            std::string theirs, ours;
            const DWORD got = CompareNames(path, text, size, theirs, ours);
            // Whole names only, in order, from our answer and from the system's own bytes
            // (read at a page's end, as they may not end the list within the buffer); all
            // of them only from an answer that cannot be a cut-off list.
            for (const std::string* answer : {&ours, &theirs}) {
                PageEndBuffer buffer(size, '\0');
                ASSERT_NE(nullptr, buffer.data());
                std::copy(answer->begin(), answer->end(), buffer.data());
                const std::vector<std::string> taken = SplitProfileList(buffer.data(), got, size);
                EXPECT_TRUE(taken.size() <= names.size() && std::equal(taken.begin(), taken.end(), names.begin()))
                    << (answer == &ours ? "ours" : "the system's");
                EXPECT_EQ(got != size - 2, taken.size() == names.size());
            }
        }
        DeleteFileA(path.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ProfileText, testing::Range(0, static_cast<int>(Cases().size())),
                         [](const testing::TestParamInfo<int>& info) {
                             std::string name;
                             for (const char* p = Cases()[static_cast<size_t>(info.param)].name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

}  // namespace
