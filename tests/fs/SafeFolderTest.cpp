// Which registered folders the uninstall may remove at all.
#include "fs/SafeFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

namespace {

TEST(RemovableFolder, OnlyAFolderOfItsOwnBelowADriveOrShare)
{
    const std::vector<std::string> known = WellKnownFolders();
    struct Row {
        const char* folder;   // UTF-8
        bool removable;
    } rows[] = {
        {"C:\\Program Files\\Velnor for QRX\\", true},
        {"C:\\Program Files\\Velnor for QRX", true},
        {"D:\\Apps\\Velnor\\", true},
        {"C:\\ソフト\\表示\\", true},                      // 0x5C trail bytes are not separators
        {"\\\\server\\share\\Velnor\\", true},
        {"C:\\", false},
        {"C:", false},
        {"", false},
        {"\\", false},
        {"\\Velnor for QRX\\", false},                    // rooted, no drive
        {"Velnor for QRX\\", false},                      // relative
        {"C:Velnor\\", false},                            // drive-relative
        {"\\\\server\\share\\", false},
        {"\\\\server\\", false},
        {"\\\\?\\C:\\Program Files\\Velnor for QRX\\", false},
        {"\\\\.\\C:\\Velnor\\", false},
        {"C:\\Program Files\\Velnor for QRX\\..\\", false},
        {"C:\\Program Files\\.\\Velnor for QRX\\", false},
        {"C:\\Program Files\\\\Velnor for QRX\\", false},  // doubled separator
        {"C:\\Program Files\\", false},
        {"c:\\program files\\", false},                   // letter case
        {"C:/Program Files/", false},                     // forward slashes
        {"C:\\Program Files.\\", false},                  // Windows drops the trailing dot
        {"C:\\Program Files \\", false},
        {"C:\\windows\\", false},
        {"C:\\windows\\system32\\", false},
        {"C:\\users\\", false},                           // the profiles folder and ancestors
        {"C:\\ProgramData\\", false},
        {"C:\\Program Files\\Common Files\\", false},
        {"C:\\Program Files\\Velnor for QRX\\*", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.folder);
        EXPECT_EQ(r.removable, IsRemovableFolder(Sjis(r.folder), known));
    }
}

TEST(RemovableFolder, ShortNamesAreExpandedFirst)
{
    // Wine makes up short names of its own (not PROGRA~1): ask the system for the real one.
    char longPath[MAX_PATH + 1], shortPath[MAX_PATH + 1];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, longPath, CSIDL_PROGRAM_FILES, FALSE));
    ASSERT_NE(0u, GetShortPathNameA(longPath, shortPath, sizeof shortPath));
    SCOPED_TRACE(shortPath);
    EXPECT_FALSE(IsRemovableFolder(shortPath, WellKnownFolders()));
    EXPECT_FALSE(IsRemovableFolder(std::string(shortPath) + "\\", WellKnownFolders()));
}

TEST(RemovableFolder, NeverTheUsersOwnFolders)
{
    const std::vector<std::string> known = WellKnownFolders();
    for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS}) {
        char path[MAX_PATH + 1] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) << csidl;
        SCOPED_TRACE(path);
        EXPECT_FALSE(IsRemovableFolder(path, known));
        EXPECT_FALSE(IsRemovableFolder(std::string(path) + "\\", known));
        // A folder of the product's own inside one of them is fine.
        EXPECT_TRUE(IsRemovableFolder(std::string(path) + "\\Velnor for QRX\\", known));
    }
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    EXPECT_FALSE(IsRemovableFolder(temp, known));
}

}  // namespace
