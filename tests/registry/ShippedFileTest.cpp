// The shipped data file end to end: its whole footprint staged in the registry, the
// pass run over the extracted file, and what is left compared with what was there.
#include "platform/afxfile.h"
#include "platform/seams.h"
#include "registry/ProfileText.h"
#include "registry/RegDataFile.h"
#include "registry/RegRemoval.h"
#include "support/RegFile.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"
#include "support/UnixLink.h"
#include "ui/CleanupDlg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempPath(const char* name)
{
    char dir[MAX_PATH + 1];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}


class ShippedFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(ParseRegFile(EmbeddedRegData(), sections, error)) << error;
        ASSERT_EQ(343u, sections.size());
        RemoveLeftovers();   // of an earlier run that failed half-way
    }
    void TearDown() override { RemoveLeftovers(); }
    void RemoveLeftovers()
    {
        RemoveRegistryDecoys();
        for (auto it = sections.rbegin(); it != sections.rend(); ++it)   // anything a failure left
            DeleteTree(it->root, it->subKey);
    }
    std::vector<RegFileSection> sections;
};

TEST_F(ShippedFile, PassRemovesTheWholeFootprintAndNothingElse)
{
    const std::vector<RegTree> clean = SnapshotFootprintTrees();

    std::string error;
    ASSERT_TRUE(StageSections(sections, error)) << error;
    ASSERT_TRUE(StageRegistryDecoys());
    const std::string path = ExtractRegDataFile();
    ASSERT_FALSE(path.empty());
    const CProfileText data(LoadRegData());
    EXPECT_EQ(644u, RunRegistryPass(data));

    // Every listed value is gone.
    for (const RegFileSection& s : sections)
        for (const RegFileValue& v : s.values)
            EXPECT_FALSE(ValueExists(s.root, s.subKey, v.name)) << s.path << " \"" << v.name << "\"";
    // Every listed key is gone, but those still holding a decoy.
    const std::set<std::string> kept = {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Halcyra",
    };
    for (const RegFileSection& s : sections) {
        bool listedAncestorOfDecoy = kept.count(s.path) != 0;
        EXPECT_EQ(listedAncestorOfDecoy, KeyExists(s.root, s.subKey)) << s.path;
    }
    EXPECT_TRUE(RegistryDecoysIntact());

    // A second pass changes nothing.
    const std::vector<RegTree> afterFirst = SnapshotFootprintTrees();
    EXPECT_EQ(644u, RunRegistryPass(data));
    EXPECT_EQ(std::vector<std::string>{}, DiffFootprintTrees(afterFirst, SnapshotFootprintTrees()));

    // Without the decoys, the registry is exactly as it was before staging.
    RemoveRegistryDecoys();
    RunRegistryPass(data);   // the keys that only the decoys kept
    EXPECT_EQ(std::vector<std::string>{}, DiffFootprintTrees(clean, SnapshotFootprintTrees()));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the data file stays in the temporary folder";
}

// What a pass leaves of a whole footprint staged with a variety of unlisted changes, line
// for line against what it left before the pass was reworked (PassGolden.inc, recorded
// from the earlier pass). The changes make the emptiness rule and the working order
// matter: unlisted named values and subkeys keep keys (and so their ancestors), an
// unlisted default value alone does not, values already gone and keys never created.
TEST_F(ShippedFile, PassLeavesExactlyWhatTheEarlierPassLeft)
{
    const std::vector<RegTree> clean = SnapshotFootprintTrees();
    std::string error;
    ASSERT_TRUE(StageSections(sections, error)) << error;
    ASSERT_TRUE(StageRegistryDecoys());
    for (size_t i = 0; i < sections.size(); ++i) {
        const RegFileSection& s = sections[i];
        if (i % 5 == 1)
            SetString(s.root, s.subKey, "VnQRXUnlisted", "kept");
        if (i % 7 == 2)
            SetString(s.root, s.subKey, "", "unlisted default");
        if (i % 11 == 3)
            CreateKey(s.root, s.subKey + "\\VnQRXUnlistedChild");
        if (i % 13 == 4 && !s.values.empty())
            DeleteValue(s.root, s.subKey, s.values.front().name);
        if (i % 17 == 5)
            RegDeleteKeyA(s.root, s.subKey.c_str());   // only when it has no subkey
    }
    const std::string path = ExtractRegDataFile();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(644u, RunRegistryPass(CProfileText(LoadRegData())));

    // Every difference from the clean registry, and each key that remains with the names
    // of the values it still holds. Wine shows the shared classes keys (TypeLib,
    // Interface) under Wow6432Node too, in the 64-bit view only: that mirror is left out,
    // so that the record holds for either build.
    const std::vector<RegTree> after = SnapshotFootprintTrees();
    auto mirrored = [](const std::string& text) { return text.find("\\Wow6432Node\\") != std::string::npos; };
    std::string left;
    for (const std::string& line : DiffFootprintTrees(clean, after))
        if (!mirrored(line))
            left += Utf8(line) + "\n";
    for (size_t t = 0; t < after.size(); ++t)
        for (const auto& [key, values] : after[t]) {
            if (clean[t].count(key) || mirrored(key) || key.find("Software\\Wine\\") != std::string::npos)
                continue;
            for (const auto& [name, value] : values)
                left += Utf8(key) + " holds \"" + Utf8(name) + "\"\n";
        }
    const std::string expected =
#include "PassGolden.inc"
        ;
    EXPECT_EQ(expected, left);
    if (expected != left) {
        std::ofstream out(TempPath("VnQRXPassLeft.txt"), std::ios::binary | std::ios::trunc);
        out << left;
    }
    // Clean up what the unlisted changes kept.
    RemoveRegistryDecoys();
    for (auto it = sections.rbegin(); it != sections.rend(); ++it)
        DeleteTree(it->root, it->subKey);
    DeleteFileA(path.c_str());
}

TEST(ExtractRegDataFile, WritesTheResourceByteForByte)
{
    const std::string expected = EmbeddedRegData();
    ASSERT_EQ(78824u, expected.size());
    const std::string path = ExtractRegDataFile();
    EXPECT_EQ(TempPath("VnQRXReg.dat"), path);
    EXPECT_EQ(std::string::npos, path.find("\\\\")) << "no doubled separator";
    EXPECT_EQ(expected, ReadAll(path));
    EXPECT_EQ("\r\n", expected.substr(expected.size() - 2));
    DeleteFileA(path.c_str());
}

// Files named like the data file plus a suffix: copies written under a fresh name. (The
// pattern "name.*" also matches "name" itself, which is not counted.)
int FilesBeside(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path + ".*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    const std::string name = path.substr(path.rfind('\\') + 1);
    int n = 0;
    do
        n += name != found.cFileName ? 1 : 0;
    while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
}

// Windows' answer to a rename over a read-only file, which Wine does not give: the rename
// call refuses with access denied when the name it would replace is read-only.
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};
LONG(NTAPI* g_systemSetFileInformation)(HANDLE, void*, void*, ULONG, int) = nullptr;
LONG NTAPI RefuseRenameOverReadOnly(HANDLE file, void* io, void* information, ULONG length, int informationClass)
{
    const auto* rename = static_cast<const RenameInformation*>(information);
    if (informationClass == 10 && rename->replaceIfExists && rename->rootDirectory != nullptr) {
        wchar_t folder[MAX_PATH + 1];
        const DWORD n = GetFinalPathNameByHandleW(rename->rootDirectory, folder, MAX_PATH, 0);
        const std::wstring target = std::wstring(folder, n) + L"\\" +
                                    std::wstring(rename->fileName, rename->fileNameLength / sizeof(wchar_t));
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return static_cast<LONG>(0xC0000022);   // STATUS_ACCESS_DENIED
    }
    return g_systemSetFileInformation(file, io, information, length, informationClass);
}

// A read-only copy left by an earlier run is replaced: renamed over where the system
// allows it (Wine), moved aside and removed through one handle where it does not
// (Windows). No copy is left beside it either way; an earlier copy that is not a plain
// file of one name is never moved or changed, and then no copy is written.
TEST(ExtractRegDataFile, ReplacesAReadOnlyLeftover)
{
    const std::string path = TempPath("VnQRXReg.dat");
    const std::string other = TempPath("VnQRXOtherName.txt");
    const struct {
        const char* what;
        bool windowsRename, hardLink;
        bool replaced;
    } rows[] = {
        {"renamed over", false, false, true},
        {"moved aside", true, false, true},
        {"another name of the same file", true, true, false},
    };
    g_systemSetFileInformation = seams::setFileInformation;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(other.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        DeleteFileA(other.c_str());
        {
            std::ofstream old(path, std::ios::binary | std::ios::trunc);
            old << "stale";
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        if (row.hardLink)
            ASSERT_TRUE(CreateHardLinkA(other.c_str(), path.c_str(), nullptr));
        if (row.windowsRename)
            seams::setFileInformation = &RefuseRenameOverReadOnly;
        const std::string result = ExtractRegDataFile();
        seams::setFileInformation = g_systemSetFileInformation;

        EXPECT_EQ(row.replaced ? path : std::string(), result);
        EXPECT_EQ(row.replaced ? EmbeddedRegData() : std::string("stale"), ReadAll(path));
        EXPECT_EQ(0, FilesBeside(path)) << "a copy left beside the file";
        if (row.hardLink) {
            EXPECT_EQ("stale", ReadAll(other));
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                      GetFileAttributesA(other.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        }
    }
    for (const std::string& f : {path, other}) {
        SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(f.c_str());
    }
}

TEST(ExtractRegDataFile, GivesNothingWhileAnotherProcessHoldsTheFile)
{
    const std::string path = TempPath("VnQRXReg.dat");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ("", ExtractRegDataFile());
    EXPECT_EQ(0, FilesBeside(path)) << "the copy written for the held one";
    CloseHandle(held);
    DeleteFileA(path.c_str());
}

BOOL WINAPI DiskFull(HANDLE, LPCVOID, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    *written = count / 2;   // half of it reached the disk
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST(ExtractRegDataFile, AFailedWriteRaisesAndLeavesNoCutOffFile)
{
    // A full disk cannot be had on demand here; the write call is the seam.
    const std::string path = TempPath("VnQRXReg.dat");
    seams::writeFile = &DiskFull;
    bool raised = false;
    try {
        ExtractRegDataFile();
    } catch (const CFileException& e) {
        raised = true;
        EXPECT_EQ(ERROR_DISK_FULL, e.m_lOsError);
        EXPECT_EQ(path, e.m_strFileName);
        EXPECT_NE(std::string::npos, e.GetErrorMessage().find(path));
    }
    seams::writeFile = &::WriteFile;
    EXPECT_TRUE(raised);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    EXPECT_EQ(0, FilesBeside(path)) << "the cut-off copy";
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// An earlier copy at the data file's place that is a link, as another program of the user
// could leave it: the link is replaced, its target keeps its content and its read-only
// attribute, and a target that does not exist is not created.
TEST(ExtractRegDataFile, ReplacesALinkAtThePathAndNeverItsTarget)
{
    if (!CanMakeUnixLinks())
        GTEST_SKIP() << "links come from the Unix side of Wine";
    const std::string path = TempPath("VnQRXReg.dat");
    const std::string target = TempPath("VnQRXPrecious.txt");
    enum Kind { kSymbolic, kSymbolicToNothing, kHard };
    const struct {
        const char* name;
        Kind kind;
    } rows[] = {{"symbolic link", kSymbolic}, {"symbolic link to nothing", kSymbolicToNothing}, {"hard link", kHard}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(target.c_str());
        DeleteFileA(path.c_str());
        if (row.kind != kSymbolicToNothing) {
            WriteText(target, "precious");
            ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        const DWORD attributes = GetFileAttributesA(target.c_str());
        if (row.kind == kHard)
            ASSERT_TRUE(CreateHardLinkA(path.c_str(), target.c_str(), nullptr));
        else
            ASSERT_TRUE(MakeUnixLink(Wide(path), Wide(target)));

        EXPECT_EQ(path, ExtractRegDataFile());
        EXPECT_EQ(EmbeddedRegData(), ReadAll(path));
        if (row.kind == kSymbolicToNothing) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str())) << "created through the link";
        } else {
            EXPECT_EQ("precious", ReadAll(target));
            EXPECT_EQ(attributes, GetFileAttributesA(target.c_str()));
            EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
        }
    }
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target.c_str());
    DeleteFileA(path.c_str());
    RemoveMadeUnixLinks();
}

// Another program rewrites the written data file, or puts a link to a file of its own in
// its place, at the worst moment: after the tool wrote it and before the pass. The pass
// still deletes exactly what the tool's own data file lists, and nothing the planted
// files list; the link's target is left as it was, also by the next run's extraction.
class RegistryStep : public ShippedFile {
protected:
    static std::string Hostile()
    {
        return "[HKEY_CURRENT_USER\\Software\\VnQRXVictim]\r\n\"Victim\"=\"x\"\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders]\r\n\"" +
               std::string(kDecoyFolderValue) + "\"=\"\"\r\n";
    }
    static void Rewrite(const char* path) { WriteText(path, Hostile()); }
    static void ReplaceWithLink(const char* name)
    {
        const std::string path = name;
        WriteText(TempPath("VnQRXHostile.dat"), Hostile());
        UnixRename(Wide(path), Wide(path + ".gone"));
        MakeUnixLink(Wide(path), Wide(TempPath("VnQRXHostile.dat")));
    }

    // Stages the footprint, lets `hook` act on the written file, runs the registry step.
    void Check(void (*hook)(const char*))
    {
        std::string error;
        ASSERT_TRUE(StageSections(sections, error)) << error;
        ASSERT_TRUE(StageRegistryDecoys());
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, "Software\\VnQRXVictim", "Victim", "x"));

        seams::afterRegDataWritten = hook;
        CCleanupDlg dlg;
        EXPECT_TRUE(dlg.RemoveRegistryEntries());
        seams::afterRegDataWritten = nullptr;

        for (const RegFileSection& s : sections)
            for (const RegFileValue& v : s.values)
                EXPECT_FALSE(ValueExists(s.root, s.subKey, v.name)) << s.path << " \"" << v.name << "\"";
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, "Software\\VnQRXVictim", "Victim"));
        EXPECT_TRUE(RegistryDecoysIntact());

        const std::string path = TempPath("VnQRXReg.dat");
        EXPECT_EQ(Hostile(), ReadAll(path)) << "the other program's file, as it left it";
        EXPECT_EQ(path, ExtractRegDataFile());   // the next run
        EXPECT_EQ(EmbeddedRegData(), ReadAll(path));
        if (hook == &RegistryStep::ReplaceWithLink) {
            EXPECT_EQ(Hostile(), ReadAll(TempPath("VnQRXHostile.dat"))) << "the link's target";
        }

        DeleteTree(HKEY_CURRENT_USER, "Software\\VnQRXVictim");
        RemoveLeftovers();
        DeleteFileA(path.c_str());
        DeleteFileA((path + ".gone").c_str());
        DeleteFileA(TempPath("VnQRXHostile.dat").c_str());
        RemoveMadeUnixLinks();
    }
};

TEST_F(RegistryStep, DeletesWhatTheToolListsWhenTheWrittenFileIsRewritten) { Check(&RegistryStep::Rewrite); }

TEST_F(RegistryStep, DeletesWhatTheToolListsWhenTheWrittenFileIsReplacedByALink)
{
    if (!CanMakeUnixLinks())
        GTEST_SKIP() << "links come from the Unix side of Wine";
    Check(&RegistryStep::ReplaceWithLink);
}

}  // namespace
