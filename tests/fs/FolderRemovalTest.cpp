#include "fs/FolderRemoval.h"
#include "fs/PathUtil.h"
#include "fs/SafeFileFind.h"

#include "support/TestSupport.h"
#include "support/UnixLink.h"
#include "platform/seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Every tree these tests build or remove lies below this folder of the Wine prefix.
const char kScratchBase[] = "C:\\vnqrx\\scratch\\fs\\";

// Long-path form, so that the tests' own set-up and clean-up reach past MAX_PATH.
std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

bool IsUnderScratch(const std::wstring& path)
{
    const std::wstring base = Wide(kScratchBase);
    return path.size() > base.size() && _wcsnicmp(path.c_str(), base.c_str(), base.size()) == 0;
}

// The tests' own clean-up: wide long paths, links removed and never entered.
void WipeTree(const std::wstring& dir)
{
    if (!IsUnderScratch(dir)) {
        ADD_FAILURE() << "refusing to wipe a folder outside the scratch area";
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Long(dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = dir + L"\\" + name;
            ::SetFileAttributesW(Long(full).c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                ::DeleteFileW(Long(full).c_str());
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // Windows removes the link itself; Wine would remove the target, so
                // there the tests remove their links with RemoveMadeUnixLinks.
                if (!CanMakeUnixLinks())
                    ::RemoveDirectoryW(Long(full).c_str());
            }
            else
                WipeTree(full);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(Long(dir).c_str());
}

void MakeDirs(const std::string& path)
{
    std::wstring w = Wide(path);
    for (size_t i = 3; i <= w.size(); ++i) {
        if (i == w.size() || w[i] == L'\\')
            ::CreateDirectoryW(Long(w.substr(0, i)).c_str(), nullptr);
    }
}

void WriteFile(const std::string& path, const std::string& content, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    HANDLE h = ::CreateFileW(Long(Wide(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << Utf8(path) << " error " << ::GetLastError();
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    if (attributes != FILE_ATTRIBUTE_NORMAL)
        ::SetFileAttributesW(Long(Wide(path)).c_str(), attributes);
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Long(Wide(path)).c_str()); }
bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

// The names of a folder's entries without "." and "..", in the order the system lists them.
std::vector<std::string> ListNames(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((dir + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

// What a folder holds, below it, as relative path -> attribute bits and contents.
using Snapshot = std::map<std::wstring, std::pair<DWORD, std::string>>;

void TakeSnapshot(const std::wstring& dir, const std::wstring& rel, Snapshot& out)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Long(dir + rel + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring entry = rel + L"\\" + name;
        std::string content;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            TakeSnapshot(dir, entry, out);
        } else {
            HANDLE h = ::CreateFileW(Long(dir + entry).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
            char buffer[4096];
            DWORD got = 0;
            while (h != INVALID_HANDLE_VALUE && ::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
                content.append(buffer, got);
            if (h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
        }
        out[entry] = {data.dwFileAttributes, content};
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

Snapshot SnapshotOf(const std::string& dir)
{
    Snapshot s;
    TakeSnapshot(Wide(dir), L"", s);
    return s;
}

// Each test gets an empty scratch folder of its own, `root` (ending in a backslash).
class FolderRemovalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_base = std::string(kScratchBase) + info->name();
        WipeTree(Wide(m_base));
        MakeDirs(m_base);
        ASSERT_TRUE(IsDirExist(m_base));
        root = m_base + "\\";
    }

    void TearDown() override
    {
        RemoveMadeUnixLinks();
        WipeTree(Wide(m_base));
    }

    std::string root;

private:
    std::string m_base;
};

TEST_F(FolderRemovalTest, RemovesAnEmptyFolder)
{
    MakeDirs(root + "empty");
    EXPECT_EQ(1, DeleteFolderIfExists(root + "empty\\"));
    EXPECT_FALSE(Exists(root + "empty"));
}

TEST_F(FolderRemovalTest, RemovesAFolderHoldingASingleFile)
{
    // The file is the last entry of the listing, after "." and "..".
    MakeDirs(root + "one");
    WriteFile(root + "one\\only.txt", "x");
    EXPECT_EQ(1, RemoveFolderTree((root + "one\\").c_str()));
    EXPECT_FALSE(Exists(root + "one"));
}

TEST_F(FolderRemovalTest, RemovesReadOnlyFilesAtEveryDepth)
{
    const std::string top = root + "tree\\";
    std::string dir = top;
    for (int depth = 0; depth < 4; ++depth) {
        MakeDirs(dir);
        WriteFile(dir + "ro.txt", "read-only", FILE_ATTRIBUTE_READONLY);
        WriteFile(dir + "ro-hidden.txt", "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        WriteFile(dir + "plain.txt", "plain");
        dir += "level" + std::to_string(depth) + "\\";
    }
    ASSERT_TRUE(Attributes(top + "level0\\level1\\ro.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, DeleteFolderIfExists(top));
    EXPECT_FALSE(Exists(root + "tree"));
}

TEST_F(FolderRemovalTest, RemovesNamesEndingInTrailByte5CAtEveryLevelAndNothingBeside)
{
    // Each folder's name ends in a two-byte character with trail byte 0x5C. A join
    // that takes that byte for a separator names, for entry E of folder F, the entry
    // F+E of F's parent: such decoys are put there and must survive.
    const std::vector<std::string> folders = {Sjis("ソ"), Sjis("表"), Sjis("能")};
    const std::vector<std::string> files = {Sjis("十"), Sjis("予.txt"), "a.txt"};
    std::vector<std::string> decoys;
    std::string parent = root;
    for (size_t level = 0; level < folders.size(); ++level) {
        const std::string dir = parent + folders[level];
        MakeDirs(dir);
        for (const std::string& f : files) {
            WriteFile(dir + "\\" + f, f, level == 1 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
            decoys.push_back(dir + f);
        }
        if (level + 1 < folders.size())
            decoys.push_back(dir + folders[level + 1]);
        parent = dir + "\\";
    }
    for (const std::string& d : decoys)
        WriteFile(d, "decoy");

    EXPECT_EQ(1, DeleteFolderIfExists(root + folders[0] + "\\"));
    EXPECT_FALSE(Exists(root + folders[0]));
    for (const std::string& d : decoys) {
        SCOPED_TRACE(Utf8(d));
        // The decoys inside the removed tree went with it; those beside it stay.
        if (d.compare(0, root.size() + folders[0].size() + 1, root + folders[0] + "\\") != 0) {
            EXPECT_TRUE(Exists(d));
        }
    }
    EXPECT_TRUE(Exists(root + folders[0] + files[0]));
}

TEST_F(FolderRemovalTest, FileHeldOpenLeavesItsFolderItsAncestorsAndLaterEntries)
{
    // top\ { a.txt b\ mid\ { c.txt d\ held\ { e.txt locked.dat f\ } w.txt x\ } y.txt z\ }
    const std::string top = root + "top";
    for (const char* d : {"b", "mid\\d", "mid\\held\\f", "mid\\x", "z"})
        MakeDirs(top + "\\" + d);
    for (const char* f : {"a.txt", "b\\1.txt", "mid\\c.txt", "mid\\d\\2.txt", "mid\\held\\e.txt",
                          "mid\\held\\f\\3.txt", "mid\\w.txt", "mid\\x\\4.txt", "y.txt", "z\\5.txt"})
        WriteFile(top + "\\" + f, f);
    WriteFile(top + "\\mid\\held\\locked.dat", "locked", FILE_ATTRIBUTE_READONLY);
    HANDLE held = ::CreateFileA((top + "\\mid\\held\\locked.dat").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    // Which entries a level keeps depends on the order the system lists them in.
    struct Level {
        std::string dir, child;
    };
    const Level levels[] = {{top, "mid"}, {top + "\\mid", "held"}};
    std::map<std::string, Snapshot> kept;
    std::set<std::string> gone;
    for (const Level& level : levels) {
        const std::vector<std::string> names = ListNames(level.dir);
        auto at = std::find(names.begin(), names.end(), level.child);
        ASSERT_NE(names.end(), at);
        ASSERT_NE(names.begin(), at) << "the set-up wants entries listed before " << level.child;
        ASSERT_NE(names.end(), at + 1) << "the set-up wants entries listed after " << level.child;
        for (auto it = names.begin(); it != at; ++it)
            gone.insert(level.dir + "\\" + *it);
        for (auto it = at + 1; it != names.end(); ++it) {
            const std::string path = level.dir + "\\" + *it;
            kept[path] = SnapshotOf(path);
        }
    }

    ::SetLastError(0);
    EXPECT_EQ(0, DeleteFolderIfExists(root + "top\\"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), ::GetLastError());
    ::CloseHandle(held);

    EXPECT_EQ(std::vector<std::string>{"locked.dat"}, ListNames(top + "\\mid\\held"));
    for (const std::string& path : gone) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(Exists(path));
    }
    for (const auto& k : kept) {
        SCOPED_TRACE(k.first);
        EXPECT_TRUE(Exists(k.first));
        EXPECT_EQ(k.second, SnapshotOf(k.first));
    }
}

TEST_F(FolderRemovalTest, LeavesASubfolderNestedPastMaxPath)
{
    // A chain of folders whose listing pattern grows past MAX_PATH, with a file "0" in
    // each, listed before the next folder of the chain. Levels whose pattern fits lose
    // their file; the deeper ones cannot be listed and stay as they are.
    const std::string top = root + "deep";
    std::vector<std::string> levels;
    std::string dir = top;
    while (dir.size() + 4 < MAX_PATH + 40) {
        dir += "\\" + std::string(30, static_cast<char>('a' + levels.size()));
        levels.push_back(dir);
    }
    MakeDirs(dir);
    for (const std::string& level : levels)
        WriteFile(level + "\\0", "0");
    WriteFile(top + "\\0.txt", "0");
    ASSERT_EQ("0.txt", ListNames(top).front());

    ::SetLastError(0);
    EXPECT_EQ(0, RemoveFolderTree((top + "\\").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), ::GetLastError());
    EXPECT_FALSE(Exists(top + "\\0.txt"));
    size_t listable = 0;
    for (const std::string& level : levels) {
        SCOPED_TRACE(level.size());
        EXPECT_TRUE(Exists(level));
        const bool fits = level.size() + 4 < MAX_PATH;  // level + "\*.*" + terminator
        EXPECT_EQ(!fits, Exists(level + "\\0"));
        listable += fits ? 1 : 0;
    }
    ASSERT_GT(listable, 1u);
    ASSERT_LT(listable, levels.size() - 1);
}

TEST_F(FolderRemovalTest, RemovesOnlyTheFolderNamedWithoutTrailingBackslash)
{
    // Without a backslash added, "tree*.*" would also match tree2.txt and tree-x.
    MakeDirs(root + "tree\\sub");
    WriteFile(root + "tree\\sub\\in.txt", "in");
    WriteFile(root + "tree2.txt", "beside");
    MakeDirs(root + "tree-x");
    WriteFile(root + "tree-x\\in.txt", "beside");
    const Snapshot before = SnapshotOf(root + "tree-x");

    EXPECT_EQ(1, RemoveFolderTree((root + "tree").c_str()));
    EXPECT_FALSE(Exists(root + "tree"));
    EXPECT_TRUE(Exists(root + "tree2.txt"));
    EXPECT_EQ(before, SnapshotOf(root + "tree-x"));

    MakeDirs(root + Sjis("ソ"));
    WriteFile(root + Sjis("ソ") + "\\in.txt", "in");
    WriteFile(root + Sjis("ソ") + "in.txt", "beside");
    EXPECT_EQ(1, DeleteFolderIfExists(root + Sjis("ソ")));
    EXPECT_FALSE(Exists(root + Sjis("ソ")));
    EXPECT_TRUE(Exists(root + Sjis("ソ") + "in.txt"));
}

TEST_F(FolderRemovalTest, DoesNothingForAnEmptyAFileOrAMissingPath)
{
    // The current folder holds a sentinel: an empty path must not list it.
    const std::string cwd = root + "cwd";
    MakeDirs(cwd + "\\sub");
    WriteFile(cwd + "\\sentinel.txt", "sentinel");
    WriteFile(root + "file.txt", "file", FILE_ATTRIBUTE_READONLY);
    char saved[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetCurrentDirectoryA(MAX_PATH, saved));
    ASSERT_TRUE(::SetCurrentDirectoryA(cwd.c_str()));
    const Snapshot before = SnapshotOf(root.substr(0, root.size() - 1));

    const struct {
        std::string path;
        BOOL expected;
    } cases[] = {
        {"", 0},
        {root + "file.txt", 1},
        {root + "file.txt\\", 1},
        {root + "missing\\", 1},
        {root + "missing", 1},
        {root + "missing\\deeper\\", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("DeleteFolderIfExists(\"" + c.path + "\")");
        EXPECT_EQ(c.expected, DeleteFolderIfExists(c.path));
        EXPECT_EQ(before, SnapshotOf(root.substr(0, root.size() - 1)));
    }
    // Listing anything for an empty path would reach the current folder and its sentinel.
    EXPECT_EQ(0, RemoveFolderTree(""));
    EXPECT_EQ(before, SnapshotOf(root.substr(0, root.size() - 1)));
    // A folder that is not there is gone.
    EXPECT_EQ(1, RemoveFolderTree((root + "missing\\").c_str()));

    ::SetCurrentDirectoryA(saved);
}

TEST_F(FolderRemovalTest, RemoveDirWithReasonTellsWhyAFolderStays)
{
    MakeDirs(root + "empty");
    MakeDirs(root + "with-file");
    WriteFile(root + "with-file\\a.txt", "a");
    MakeDirs(root + "with-subfolder\\sub");
    WriteFile(root + "file.txt", "f");
    // A folder open without delete sharing cannot be removed, empty or not; Wine 8 then
    // answers ERROR_SHARING_VIOLATION for both, Windows likewise.
    MakeDirs(root + "held-empty");
    MakeDirs(root + "held-with-file");
    WriteFile(root + "held-with-file\\a.txt", "a");
    std::vector<HANDLE> held;
    for (const char* name : {"held-empty", "held-with-file"}) {
        held.push_back(::CreateFileA((root + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_NE(INVALID_HANDLE_VALUE, held.back());
    }

    // The system's own reason for a folder that stays although nothing is left in it.
    auto systemReason = [](const std::string& path) {
        ::SetLastError(0);
        EXPECT_FALSE(::RemoveDirectoryA(path.c_str()));
        return ::GetLastError();
    };
    const struct {
        std::string path;
        BOOL result;
        DWORD error;  // 0: the system's own reason, which must not be ERROR_DIR_NOT_EMPTY
        bool stays;
    } cases[] = {
        {root + "empty", 1, 0, false},
        {root + "with-file", 0, ERROR_DIR_NOT_EMPTY, true},
        {root + "with-subfolder", 0, ERROR_DIR_NOT_EMPTY, true},
        {root + "missing", 0, 0, false},
        {root + "file.txt", 0, 0, true},
        {root + "held-empty", 0, 0, true},
        {root + "held-with-file", 0, ERROR_DIR_NOT_EMPTY, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const DWORD expectedError = c.result ? 0 : (c.error != 0 ? c.error : systemReason(c.path));
        if (!c.result && c.error == 0) {
            EXPECT_NE(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), expectedError);
        }
        ::SetLastError(0);
        EXPECT_EQ(c.result, RemoveDirWithReason(c.path.c_str()));
        if (!c.result) {
            EXPECT_EQ(expectedError, ::GetLastError());
        }
        EXPECT_EQ(c.stays, Exists(c.path));
    }
    // The folder in use with a file in it: the system gives its own reason, which the
    // remaining entry overrides.
    EXPECT_NE(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), systemReason(root + "held-with-file"));
    for (HANDLE h : held)
        ::CloseHandle(h);
}

TEST_F(FolderRemovalTest, IsDirEmptyLooksOnlyInsideTheFolder)
{
    MakeDirs(root + "empty");
    MakeDirs(root + "only-subfolder\\sub");
    MakeDirs(root + "only-file");
    WriteFile(root + "only-file\\a.txt", "a");
    // An empty folder whose name ends in trail byte 0x5C, with a file beside it that a
    // pattern missing its backslash ("...ソ*.*") would find.
    MakeDirs(root + Sjis("ソ"));
    WriteFile(root + Sjis("ソ") + "x.txt", "beside");
    const struct {
        std::string path;
        BOOL expected;
    } cases[] = {
        {root + "empty", 1},
        {root + "empty\\", 1},
        {root + "only-subfolder", 0},
        {root + "only-file\\", 0},
        {root + "missing", 1},
        {root + Sjis("ソ"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        EXPECT_EQ(c.expected, IsDirEmpty(c.path.c_str()));
    }
}

TEST_F(FolderRemovalTest, TellsFilesFromFolders)
{
    MakeDirs(root + Sjis("表"));
    WriteFile(root + "file.txt", "f", FILE_ATTRIBUTE_READONLY);
    const struct {
        std::string path;
        BOOL file, dir;
    } cases[] = {
        {root + "file.txt", 1, 0},
        {root + Sjis("表"), 0, 1},
        {root + Sjis("表") + "\\", 0, 1},
        {root + "missing", 0, 0},
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        EXPECT_EQ(c.file, IsFileExist(c.path));
        EXPECT_EQ(c.dir, IsDirExist(c.path));
    }
}

TEST_F(FolderRemovalTest, FinderRootsAndJoinsRealEntries)
{
    const std::string dir = root + Sjis("データソ");
    MakeDirs(dir + "\\" + Sjis("表"));
    WriteFile(dir + "\\" + Sjis("能"), "n");
    CSafeFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir + "\\*.*"));
    std::set<std::string> paths;
    BOOL more;
    do {
        more = finder.FindNextFile();
        EXPECT_EQ(dir, finder.GetRoot());
        if (!finder.IsDots())
            paths.insert(finder.GetFilePath());
    } while (more);
    EXPECT_EQ((std::set<std::string>{dir + "\\" + Sjis("表"), dir + "\\" + Sjis("能")}), paths);
    for (const std::string& p : paths)
        EXPECT_TRUE(Exists(p)) << Utf8(p);
    EXPECT_FALSE(finder.FindNextFile());

    // A drive's top folder: root "C:", entries joined with one backslash.
    ASSERT_TRUE(finder.FindFile("C:\\*.*"));
    finder.FindNextFile();
    EXPECT_EQ("C:", finder.GetRoot());
    EXPECT_EQ("C:\\" + finder.GetFileName(), finder.GetFilePath());

    // A pattern too long for MAX_PATH is refused before the system is asked.
    EXPECT_FALSE(finder.FindFile(root + std::string(MAX_PATH, 'a') + "\\*.*"));
}

// Real links as another program makes them under Wine (Unix symbolic links, which Wine
// lists as reparse points and follows on every open). Wine cannot remove a link itself,
// so there the link stays, and with it its folder: what these tests establish is that
// nothing is ever removed through a link, whatever its target holds.
TEST_F(FolderRemovalTest, NeverEntersAFolderLinkInsideTheTree)
{
    SKIP_WITHOUT_UNIX_LINKS();
    const std::string outside = root + "outside";
    MakeDirs(outside + "\\full\\target-sub");
    WriteFile(outside + "\\full\\target.txt", "target", FILE_ATTRIBUTE_READONLY);
    WriteFile(outside + "\\full\\target-sub\\deep.txt", "deep");
    MakeDirs(outside + "\\empty");
    const Snapshot target = SnapshotOf(outside);

    for (const char* which : {"full", "empty"}) {
        SCOPED_TRACE(which);
        const std::string top = root + "top";
        MakeDirs(top + "\\a-sub");
        WriteFile(top + "\\a.txt", "a");
        WriteFile(top + "\\z.txt", "z");
        ASSERT_TRUE(MakeUnixLink(Wide(top + "\\m-link"), Wide(outside + "\\" + which)));
        const std::vector<std::string> names = ListNames(top);
        const auto link = std::find(names.begin(), names.end(), "m-link");
        ASSERT_NE(names.end(), link);

        ::SetLastError(0);
        EXPECT_EQ(0, DeleteFolderIfExists(top + "\\"));
        EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), ::GetLastError());
        EXPECT_EQ(target, SnapshotOf(outside));
        EXPECT_TRUE(Attributes(top + "\\m-link") & FILE_ATTRIBUTE_REPARSE_POINT);
        // Entries listed before the link went; those after it stay.
        for (auto it = names.begin(); it != names.end(); ++it) {
            SCOPED_TRACE(*it);
            EXPECT_EQ(it >= link, Exists(top + "\\" + *it));
        }
        RemoveMadeUnixLinks();
        WipeTree(Wide(top));
    }
}

TEST_F(FolderRemovalTest, LeavesAStartingFolderThatIsALinkHoweverItIsSpelled)
{
    SKIP_WITHOUT_UNIX_LINKS();
    const std::string target = root + "target";
    MakeDirs(target + "\\sub");
    WriteFile(target + "\\keep.txt", "keep");
    const std::string link = root + Sjis("リンクソ");
    ASSERT_TRUE(MakeUnixLink(Wide(link), Wide(target)));
    const Snapshot before = SnapshotOf(target);

    for (const std::string& path : {link + "\\", link, link + "/"}) {
        SCOPED_TRACE(Utf8(path));
        EXPECT_EQ(0, DeleteFolderIfExists(path));
        EXPECT_EQ(0, RemoveFolderTree(path.c_str()));
        EXPECT_EQ(before, SnapshotOf(target));
        EXPECT_TRUE(Attributes(link) & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    // A folder reached through a link further up is not the folder its path spells.
    EXPECT_EQ(0, DeleteFolderIfExists(link + "\\sub\\"));
    EXPECT_EQ(before, SnapshotOf(target));
}

// A link held as itself, as Windows opens one with FILE_OPEN_REPARSE_POINT (Wine never
// does: every open there follows the link). A real folder stands in for the link, shown
// as one through the seam at the one place the removal reads what a handle holds; the
// test sees, through the other seam, every folder whose entries the removal opened.
struct LinkStandIn {
    std::wstring folder;   // the stand-in's full path
    int shown = 0;         // handles shown as the link
    std::vector<std::wstring> entered;   // folders whose entries were opened
};
LinkStandIn g_standIn;

bool ShowStandInAsLink(HANDLE handle)
{
    wchar_t path[1024];
    const DWORD n = ::GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n < 4 || n >= 1024 || _wcsicmp(path + 4, g_standIn.folder.c_str()) != 0)   // past "\\?\"
        return false;
    ++g_standIn.shown;
    return true;
}

void NoteFolderEntered(const wchar_t* folder, const wchar_t*) { g_standIn.entered.push_back(folder); }

TEST_F(FolderRemovalTest, RemovesALinkHeldAsItselfAndNeverEntersIt)
{
    // On Windows the link goes whatever its target holds, and the target is untouched.
    // The stand-in goes only when empty: with content the system refuses to delete it,
    // and it stays with all it holds, and so does the tree.
    const struct {
        const char* what;
        const char* link;   // the stand-in, below `root`
        bool content;       // it holds files and a subfolder
        BOOL result;
    } cases[] = {
        {"an empty link inside the tree", "tree\\m-link", false, 1},
        {"a link with content inside the tree", "tree\\m-link", true, 0},
        {"the starting folder itself, empty", "tree", false, 1},
        {"the starting folder itself, with content", "tree", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tree = root + "tree", link = root + c.link;
        MakeDirs(link);
        if (link != tree) {
            MakeDirs(tree + "\\a-sub");
            WriteFile(tree + "\\a-sub\\a.txt", "a");
            WriteFile(tree + "\\z.txt", "z");
        }
        if (c.content) {
            MakeDirs(link + "\\sub");
            WriteFile(link + "\\keep.txt", "keep", FILE_ATTRIBUTE_READONLY);
            WriteFile(link + "\\sub\\deep.txt", "deep");
        }
        const Snapshot target = SnapshotOf(link);
        g_standIn = LinkStandIn();
        g_standIn.folder = Wide(link);
        seams::heldAsLink = &ShowStandInAsLink;
        seams::beforeEntryOpen = &NoteFolderEntered;
        const BOOL result = DeleteFolderIfExists(tree + "\\");
        seams::heldAsLink = nullptr;
        seams::beforeEntryOpen = nullptr;

        EXPECT_EQ(c.result, result);
        EXPECT_GT(g_standIn.shown, 0) << "the removal never held the link";
        for (const std::wstring& folder : g_standIn.entered) {
            EXPECT_FALSE(_wcsicmp(folder.c_str(), g_standIn.folder.c_str()) == 0) << "the link was entered";
        }
        EXPECT_EQ(c.content, Exists(link));
        EXPECT_EQ(c.content ? target : Snapshot(), SnapshotOf(link));
        EXPECT_EQ(result == 0, Exists(tree));
        WipeTree(Wide(tree));
    }
}

TEST_F(FolderRemovalTest, RemovesThousandsOfDoubleByteEntriesAndNothingBeside)
{
    // Names mixing characters with trail byte 0x5C (ソ 表 能 十 予 申 貼 暴 構) and others.
    const std::vector<std::string> names = {Sjis("ソ"), Sjis("表示"), Sjis("能力ソ"), Sjis("十"), Sjis("予定表"),
                                            Sjis("申請"), Sjis("貼付"), Sjis("暴構"), Sjis("電話帳")};
    const auto endsIn5C = [](const std::string& n) {
        return IsTrailByteAt(n.c_str(), static_cast<unsigned int>(n.size()) - 1) && n.back() == '\\';
    };
    ASSERT_EQ(5, std::count_if(names.begin(), names.end(), endsIn5C));
    const std::string tree = root + Sjis("データソ");
    // Beside the tree: a folder whose name starts with the tree's, the target of any
    // join or pattern that loses the backslash after the tree's last character.
    const std::string beside = root + Sjis("データソ") + Sjis("表");
    MakeDirs(beside + "\\" + Sjis("中ソ"));
    for (size_t i = 0; i < names.size(); ++i) {
        WriteFile(beside + "\\" + names[i], names[i], i % 3 == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        WriteFile(beside + "\\" + Sjis("中ソ") + "\\" + names[i], names[i]);
        WriteFile(root + Sjis("データソ") + names[i], names[i]);
    }

    // Three levels of six folders, each folder holding the nine names as files:
    // 1 + 6 + 36 + 216 folders, 259 * 9 files, about 2600 entries.
    size_t entries = 0;
    std::vector<std::string> level = {tree};
    MakeDirs(tree);
    for (int depth = 0; depth <= 3; ++depth) {
        std::vector<std::string> next;
        for (const std::string& dir : level) {
            for (size_t i = 0; i < names.size(); ++i) {
                WriteFile(dir + "\\" + names[i] + (i % 2 ? ".dat" : ""), "x",
                          (i + depth) % 4 == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
                ++entries;
            }
            if (depth < 3) {
                for (size_t i = 0; i < 6; ++i) {
                    next.push_back(dir + "\\" + Sjis("フ") + names[i]);
                    ::CreateDirectoryA(next.back().c_str(), nullptr);
                    ++entries;
                }
            }
        }
        level = next;
    }
    ASSERT_GT(entries, 2500u);
    const Snapshot before = SnapshotOf(root.substr(0, root.size() - 1));
    Snapshot expectedAfter;
    for (const auto& e : before) {
        if (e.first.compare(0, Wide("\\" + Sjis("データソ") + "\\").size(), Wide("\\" + Sjis("データソ") + "\\")) != 0 &&
            e.first != Wide("\\" + Sjis("データソ")))
            expectedAfter.insert(e);
    }
    ASSERT_GT(before.size(), expectedAfter.size() + 2500);

    EXPECT_EQ(1, DeleteFolderIfExists(tree + "\\"));
    EXPECT_FALSE(Exists(tree));
    EXPECT_EQ(expectedAfter, SnapshotOf(root.substr(0, root.size() - 1)));
}

}  // namespace

// What another program of the user can put in a folder the removal works in. The names
// are UTF-16; the ANSI listing of code page 932 gives U+00A5 as a backslash.
void MakeDirW(const std::wstring& path) { ::CreateDirectoryW(Long(path).c_str(), nullptr); }

void WriteFileW(const std::wstring& path, const std::string& content)
{
    HANDLE h = ::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << "error " << ::GetLastError();
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
}

TEST_F(FolderRemovalTest, RemovesEntriesByTheirExactNamesAndNothingTheirAnsiFormsName)
{
    // tree\ lies three levels below the scratch folder `root`; decoys wait where the
    // best-fit forms of the hostile names point.
    const std::wstring base = Wide(root + "a\\b");
    const std::wstring tree = base + L"\\tree";
    MakeDirs(root + "a\\b\\tree");
    const std::wstring yen = L"\u00a5";
    const std::wstring up = L".." + yen;
    WriteFileW(Wide(root) + L"victim.txt", "victim");                          // ..\..\..\victim.txt
    MakeDirW(Wide(root) + L"victim-dir");                                      // ..\..\..\victim-dir
    WriteFileW(Wide(root) + L"victim-dir\\keep.txt", "keep");
    WriteFileW(base + L"\\tree-sibling.txt", "sibling");                        // ..\tree-sibling.txt
    WriteFileW(tree + L"\\" + up + up + up + L"victim.txt", "hostile");
    MakeDirW(tree + L"\\" + up + up + up + L"victim-dir");
    WriteFileW(tree + L"\\" + up + up + up + L"victim-dir\\keep.txt", "hostile");
    WriteFileW(tree + L"\\" + up + L"tree-sibling.txt", "hostile");
    // "¥" lists as "\": a removal by ANSI path went into the folder itself again and again.
    MakeDirW(tree + L"\\" + yen);
    MakeDirW(tree + L"\\" + yen + L"\\" + yen);
    WriteFileW(tree + L"\\" + yen + L"\\" + yen + L"\\in.txt", "in");
    // Names with no form in code page 932 at all: the suite's like any other.
    for (const wchar_t* name : {L"\U0001F600.txt", L"\u03A9\u03BC\u03AD\u03B3\u03B1", L"caf\u00e9", L"\u00bf.txt"}) {
        MakeDirW(tree + L"\\dir-" + name);
        WriteFileW(tree + L"\\dir-" + name + L"\\" + name, "x");
        WriteFileW(tree + L"\\" + name, "x");
    }
    const Snapshot before = SnapshotOf(root.substr(0, root.size() - 1) + "\\victim-dir");

    EXPECT_EQ(1, DeleteFolderIfExists(root + "a\\b\\tree\\"));
    EXPECT_FALSE(Exists(root + "a\\b\\tree"));
    EXPECT_EQ(before, SnapshotOf(root.substr(0, root.size() - 1) + "\\victim-dir"));
    for (const std::wstring& decoy : {Wide(root) + L"victim.txt", base + L"\\tree-sibling.txt"})
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(decoy.c_str()));
}

TEST_F(FolderRemovalTest, ReportsAFolderItCannotListOrOpenAsStaying)
{
    // Another program holds the folder without sharing: nothing can be listed in it.
    MakeDirs(root + "held\\sub");
    WriteFile(root + "held\\in.txt", "in");
    const Snapshot before = SnapshotOf(root + "held");
    HANDLE held = ::CreateFileA((root + "held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, DeleteFolderIfExists(root + "held\\"));
    EXPECT_EQ(0, RemoveFolderTree((root + "held").c_str()));
    ::CloseHandle(held);
    EXPECT_EQ(before, SnapshotOf(root + "held"));

    // A starting folder that the system still finds, but whose listing pattern
    // ("\\*.*" and the terminator) does not fit in MAX_PATH.
    std::string deep = root + "deep";
    while (deep.size() + 45 < MAX_PATH)
        deep += "\\" + std::string(40, 'd');
    deep += "\\" + std::string(MAX_PATH - 3 - deep.size(), 'e');
    ASSERT_EQ(static_cast<size_t>(MAX_PATH - 2), deep.size());
    MakeDirs(deep);
    WriteFile(deep + "\\in.txt", "in");
    EXPECT_EQ(0, DeleteFolderIfExists(deep + "\\"));
    EXPECT_TRUE(Exists(deep + "\\in.txt"));
}

// The swap another program makes at the worst moment: after the listing, before the
// entry is opened.
std::string ReadAll(const std::string& path)
{
    Snapshot s;
    const std::string folder = path.substr(0, path.rfind('\\'));
    TakeSnapshot(Wide(folder), L"", s);
    auto it = s.find(L"\\" + Wide(path.substr(folder.size() + 1)));
    return it == s.end() ? std::string() : it->second.second;
}

struct Swap {
    std::wstring name;      // the entry to replace
    std::wstring stash;     // where the real entry goes
    std::wstring target;    // what the link put in its place points to
    bool folderItself = false;   // swap the folder the entry is listed in instead
    bool done = false;
};
Swap g_swap;

void SwapForLink(const wchar_t* folderText, const wchar_t* nameText)
{
    const std::wstring folder = folderText, name = nameText;
    if (g_swap.done || name != g_swap.name)
        return;
    g_swap.done = true;
    const std::wstring entry = g_swap.folderItself ? folder : folder + L"\\" + name;
    EXPECT_TRUE(UnixRename(entry, g_swap.stash));
    EXPECT_TRUE(MakeUnixLink(entry, g_swap.target));
}

TEST_F(FolderRemovalTest, NeverFollowsALinkSwappedInBetweenListingAndOpening)
{
    SKIP_WITHOUT_UNIX_LINKS();
    const std::string victim = root + "victim";
    MakeDirs(victim + "\\sub");
    WriteFile(victim + "\\keep.txt", "keep", FILE_ATTRIBUTE_READONLY);
    WriteFile(victim + "\\sub\\deep.txt", "deep");
    WriteFile(root + "victim.txt", "victim", FILE_ATTRIBUTE_READONLY);
    const Snapshot before = SnapshotOf(victim);
    MakeDirs(root + "stash");

    struct Case {
        const char* what;
        const wchar_t* entry;   // the entry whose turn it is
        std::string kept;       // what stays in tree\ for it
        std::string target;
        bool folderItself;
    } cases[] = {
        {"a folder for a link to a folder", L"sub", "sub", victim, false},
        {"a file for a link to a file", L"file.txt", "file.txt", root + "victim.txt", false},
        {"a folder for a link to a file", L"sub", "sub", root + "victim.txt", false},
        {"a file for a link to a folder", L"file.txt", "file.txt", victim, false},
        {"the folder being emptied for a link to a folder", L"own.txt", "sub\\inner", victim, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tree = root + "tree";
        MakeDirs(tree + "\\sub\\inner");
        WriteFile(tree + "\\sub\\inner\\own.txt", "own");
        WriteFile(tree + "\\file.txt", "own");
        g_swap = Swap();
        g_swap.name = c.entry;
        g_swap.stash = Wide(root + "stash\\") + c.entry;
        g_swap.target = Wide(c.target);
        g_swap.folderItself = c.folderItself;
        if (c.folderItself)
            g_swap.stash = Wide(root + "stash\\inner");
        seams::beforeEntryOpen = &SwapForLink;
        const BOOL result = DeleteFolderIfExists(tree + "\\");
        seams::beforeEntryOpen = nullptr;
        ASSERT_TRUE(g_swap.done);

        EXPECT_EQ(0, result);
        EXPECT_TRUE(Exists(tree + "\\" + c.kept));
        EXPECT_EQ(before, SnapshotOf(victim));
        EXPECT_EQ("victim", ReadAll(root + "victim.txt"));
        EXPECT_TRUE(Attributes(root + "victim.txt") & FILE_ATTRIBUTE_READONLY);
        RemoveMadeUnixLinks();
        WipeTree(Wide(tree));
        WipeTree(Wide(root + "stash"));
        MakeDirs(root + "stash");
    }
}
