// The shipped data file end to end: its whole footprint staged in the registry, the
// pass run over the extracted file, and what is left compared with what was there.
#include "platform/afxfile.h"
#include "registry/RegDataFile.h"
#include "registry/RegRemoval.h"
#include "support/RegFile.h"
#include "support/RegScratch.h"

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
    EXPECT_EQ(644u, RunRegistryPass(path));

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
    EXPECT_EQ(644u, RunRegistryPass(path));
    EXPECT_EQ(std::vector<std::string>{}, DiffFootprintTrees(afterFirst, SnapshotFootprintTrees()));

    // Without the decoys, the registry is exactly as it was before staging.
    RemoveRegistryDecoys();
    RunRegistryPass(path);   // the keys that only the decoys kept
    EXPECT_EQ(std::vector<std::string>{}, DiffFootprintTrees(clean, SnapshotFootprintTrees()));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the data file stays in the temporary folder";
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

TEST(ExtractRegDataFile, ReplacesAReadOnlyLeftover)
{
    const std::string path = TempPath("VnQRXReg.dat");
    {
        std::ofstream old(path, std::ios::binary | std::ios::trunc);
        old << "stale";
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(path, ExtractRegDataFile());
    EXPECT_EQ(EmbeddedRegData(), ReadAll(path));
    DeleteFileA(path.c_str());
}

TEST(ExtractRegDataFile, GivesNothingWhileAnotherProcessHoldsTheFile)
{
    const std::string path = TempPath("VnQRXReg.dat");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ("", ExtractRegDataFile());
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
    CFile::s_writeFile = &DiskFull;
    bool raised = false;
    try {
        ExtractRegDataFile();
    } catch (const CFileException& e) {
        raised = true;
        EXPECT_EQ(ERROR_DISK_FULL, e.m_lOsError);
        EXPECT_EQ(path, e.m_strFileName);
        EXPECT_NE(std::string::npos, e.GetErrorMessage().find(path));
    }
    CFile::s_writeFile = &::WriteFile;
    EXPECT_TRUE(raised);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
}

}  // namespace
