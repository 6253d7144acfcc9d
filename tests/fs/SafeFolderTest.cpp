// Which registered folders the uninstall may remove at all.
#include "fs/SafeFolder.h"
#include "fs/WidePath.h"
#include "support/TestSupport.h"
#include "support/UnixLink.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <knownfolders.h>

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

// Registered folders judged by what they are. The system's own lists give the folders
// that must never go: every known folder, every profile, the Windows folder.
std::vector<std::wstring> SystemFoldersW()
{
    std::vector<std::wstring> out;
    IKnownFolderManager* manager = nullptr;
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(::CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_IKnownFolderManager,
                                     reinterpret_cast<void**>(&manager)))) {
        KNOWNFOLDERID* ids = nullptr;
        UINT count = 0;
        if (SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
            for (UINT i = 0; i < count; ++i) {
                PWSTR path = nullptr;
                if (SUCCEEDED(::SHGetKnownFolderPath(ids[i], 0, nullptr, &path)) && path != nullptr)
                    out.push_back(path);
                ::CoTaskMemFree(path);
            }
            ::CoTaskMemFree(ids);
        }
        manager->Release();
    }
    ::CoUninitialize();
    wchar_t buffer[MAX_PATH + 1];
    const wchar_t kProfiles[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public"}) {
        DWORD size = sizeof buffer;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, kProfiles, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, buffer,
                           &size) == ERROR_SUCCESS)
            out.push_back(buffer);
    }
    ::GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    out.push_back(buffer);
    out.push_back(std::wstring(buffer) + L"\\Fonts");
    out.push_back(std::wstring(buffer) + L"\\Installer");
    return out;
}

TEST(RegisteredFolder, NeverASystemOrProfileFolderNorWhatHoldsOne)
{
    const std::vector<std::wstring> folders = SystemFoldersW();
    ASSERT_GT(folders.size(), 20u);
    size_t judged = 0;
    for (const std::wstring& w : folders) {
        const std::string path = Ansi(w);
        if (GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;   // a known folder this system has no folder for
        SCOPED_TRACE(Utf8(path));
        ++judged;
        EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(path));
        EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(path + "\\"));
        // What holds one: its parent, unless that is a drive's top folder (refused too).
        const std::string parent = path.substr(0, path.rfind('\\'));
        EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(parent + "\\"));
    }
    EXPECT_GT(judged, 20u);
    // Anything inside the Windows folder.
    wchar_t windows[MAX_PATH + 1];
    ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
    const std::string inside = Ansi(windows) + "\\vnqrx-judge";
    ::CreateDirectoryA(inside.c_str(), nullptr);
    EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(inside + "\\"));
    ::RemoveDirectoryA(inside.c_str());
    // The real System32 as a 32-bit program on 64-bit Windows names it (no listing shows it).
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    const std::string sysnative = Ansi(windows) + "\\Sysnative\\";
    EXPECT_EQ(wow64 ? FolderVerdict::Refused : FolderVerdict::Missing, JudgeRegisteredFolder(sysnative));
}

TEST(RegisteredFolder, AFolderOfItsOwnReachedAsSpelledIsRemovableAMissingOneIsMissing)
{
    const std::string own = "C:\\vnqrx\\scratch\\judge\\Velnor for QRX";
    ::CreateDirectoryA("C:\\vnqrx\\scratch", nullptr);
    ::CreateDirectoryA("C:\\vnqrx\\scratch\\judge", nullptr);
    ::CreateDirectoryA(own.c_str(), nullptr);
    for (const std::string& p : {own, own + "\\", std::string("c:\\VNQRX\\scratch\\judge\\velnor for qrx\\")})
        EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(p)) << p;
    // Missing: nothing to remove and nothing to report, whatever the spelling.
    for (const char* p : {"C:\\vnqrx\\scratch\\judge\\missing\\", "C:\\vnqrx\\scratch\\judge\\missing\\..\\..\\x\\",
                          "\\\\localhost\\C$\\vnqrx\\scratch\\judge\\missing\\"})
        EXPECT_EQ(FolderVerdict::Missing, JudgeRegisteredFolder(p)) << p;
    ::RemoveDirectoryA(own.c_str());
}

TEST(RegisteredFolder, NeverAFolderReachedThroughAShare)
{
    const std::wstring base = L"C:\\vnqrx\\scratch\\judge-share";
    ::CreateDirectoryW(L"C:\\vnqrx\\scratch", nullptr);
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW((base + L"\\Velnor for QRX").c_str(), nullptr);
    EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(Ansi(base + L"\\Velnor for QRX\\")));
    // The same folder through an administrative share: refused where Wine reaches the
    // share, missing where it does not.
    EXPECT_NE(FolderVerdict::Removable,
              JudgeRegisteredFolder("\\\\localhost\\C$\\vnqrx\\scratch\\judge-share\\Velnor for QRX\\"));
    ::RemoveDirectoryW((base + L"\\Velnor for QRX").c_str());
    ::RemoveDirectoryW(base.c_str());
}

TEST(RegisteredFolder, NeverAFolderReachedThroughALinkOrADriveAlias)
{
    SKIP_WITHOUT_UNIX_LINKS();
    const std::wstring base = L"C:\\vnqrx\\scratch\\judge-links";
    ::CreateDirectoryW(L"C:\\vnqrx\\scratch", nullptr);
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW((base + L"\\real").c_str(), nullptr);
    ::CreateDirectoryW((base + L"\\real\\Velnor for QRX").c_str(), nullptr);
    ASSERT_TRUE(MakeUnixLink(base + L"\\link", base + L"\\real"));
    ASSERT_TRUE(MakeUnixLink(base + L"\\Velnor link", base + L"\\real\\Velnor for QRX"));
    // Like "All Users", a link to ProgramData on every Windows since Vista.
    wchar_t programData[MAX_PATH + 1];
    ::ExpandEnvironmentStringsW(L"%ProgramData%", programData, MAX_PATH + 1);
    ASSERT_TRUE(MakeUnixLink(base + L"\\All Users", programData));
    ::CreateDirectoryW((std::wstring(programData) + L"\\Other Program").c_str(), nullptr);
    ASSERT_TRUE(MakeUnixDrive(L'S', base + L"\\real"));
    wchar_t publicFolder[MAX_PATH + 1];
    ::ExpandEnvironmentStringsW(L"%PUBLIC%", publicFolder, MAX_PATH + 1);
    ASSERT_TRUE(MakeUnixDrive(L'P', publicFolder));
    ::CreateDirectoryW((std::wstring(publicFolder) + L"\\Velnor for QRX").c_str(), nullptr);

    EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(Ansi(base + L"\\real\\Velnor for QRX\\")));
    const struct {
        std::wstring path;
        const char* why;
    } rows[] = {
        {base + L"\\link\\Velnor for QRX\\", "a link above it"},
        {base + L"\\Velnor link\\", "itself a link"},
        {base + L"\\All Users\\Other Program\\", "a link to ProgramData above it"},
        {L"P:\\Velnor for QRX\\", "a drive that stands for the Public profile"},
        {L"P:\\Documents\\", "a drive that stands for the Public profile"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(Ansi(r.path)));
    }
    RemoveMadeUnixLinks();
    ::RemoveDirectoryW((std::wstring(publicFolder) + L"\\Velnor for QRX").c_str());
    ::RemoveDirectoryW((std::wstring(programData) + L"\\Other Program").c_str());
}

// 8.3 short names are the folder's own other names: a folder spelled with them is the
// same folder, and judged as such.
TEST(RegisteredFolder, AFolderSpelledWithShortNamesIsTheSameFolder)
{
    wchar_t programFiles[MAX_PATH + 1];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    const std::wstring own = std::wstring(programFiles) + L"\\VnQRX Judge Test\\Velnor for QRX";
    ::CreateDirectoryW((std::wstring(programFiles) + L"\\VnQRX Judge Test").c_str(), nullptr);
    ::CreateDirectoryW(own.c_str(), nullptr);
    wchar_t shortPath[MAX_PATH + 1];
    ASSERT_NE(0u, GetShortPathNameW(own.c_str(), shortPath, MAX_PATH + 1));
    SCOPED_TRACE(Utf8(Ansi(shortPath)));
    ASSERT_NE(own, shortPath) << "the system gives no short name here";
    EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(Ansi(shortPath) + "\\"));
    EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(Ansi(shortPath)));
    ::RemoveDirectoryW(own.c_str());
    ::RemoveDirectoryW((std::wstring(programFiles) + L"\\VnQRX Judge Test").c_str());
}

std::wstring ProfilesFolder()
{
    const WString own = OwnProfileFolder();
    const std::wstring profile(own.begin(), own.end());
    return profile.substr(0, profile.rfind(L'\\'));
}

// Every folder directly in the profiles folder is a profile, whatever the lists say.
TEST(RegisteredFolder, NeverAFolderDirectlyInTheProfilesFolder)
{
    const std::wstring profiles = ProfilesFolder();
    ASSERT_FALSE(profiles.empty());
    for (const wchar_t* name : {L"Default", L"olduser"}) {
        const std::wstring folder = profiles + L"\\" + name;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        SCOPED_TRACE(Utf8(Ansi(folder)));
        EXPECT_EQ(FolderVerdict::Refused, JudgeRegisteredFolder(Ansi(folder) + "\\"));
        ::CreateDirectoryW((folder + L"\\Velnor for QRX").c_str(), nullptr);
        EXPECT_EQ(FolderVerdict::Removable, JudgeRegisteredFolder(Ansi(folder) + "\\Velnor for QRX\\"))
            << "a folder of its own deeper down is not a profile";
        ::RemoveDirectoryW((folder + L"\\Velnor for QRX").c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
}

// The own profile comes from the machine's profile list by the token's SID: the
// environment, which the user sets, does not move it.
TEST(StartMenuFolder, TheOwnProfileIsTheSystemsRecordNotTheEnvironments)
{
    wchar_t was[MAX_PATH + 1] = {};
    ::GetEnvironmentVariableW(L"USERPROFILE", was, MAX_PATH + 1);
    const WString own = OwnProfileFolder();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(std::wstring(was), std::wstring(own.begin(), own.end()));
    ::SetEnvironmentVariableW(L"USERPROFILE", L"C:\\vnqrx");
    ::SetEnvironmentVariableW(L"SystemDrive", L"Q:");
    EXPECT_EQ(own, OwnProfileFolder());
    ::SetEnvironmentVariableW(L"USERPROFILE", was);
    ::SetEnvironmentVariableW(L"SystemDrive", L"C:");
}

WString W(const std::wstring& s) { return WString(s.begin(), s.end()); }

// The product's Start-menu folder is the user's own only inside the user's own profile,
// compared resolved with resolved: links to the profile or to the programs folder are the
// user's own arrangement, a link at the product folder itself is not.
TEST(StartMenuFolder, OnlyInsideTheOwnProfileResolvedWithResolved)
{
    const WString own = OwnProfileFolder();
    const std::wstring profile(own.begin(), own.end());
    wchar_t programsBuffer[MAX_PATH + 1];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programsBuffer, CSIDL_PROGRAMS, TRUE));
    const std::wstring programs = programsBuffer;
    const std::wstring scratch = L"C:\\vnqrx\\scratch\\menus";
    for (const std::wstring& d : {std::wstring(L"C:\\vnqrx\\scratch"), scratch, scratch + L"\\Programs",
                                  scratch + L"\\Programs\\Velnor for QRX", programs + L"\\Velnor for QRX",
                                  profile + L"\\VnQRX moved", profile + L"\\VnQRX moved\\Programs",
                                  profile + L"\\VnQRX moved\\Programs\\Velnor for QRX",
                                  scratch + L"\\profiles-real", scratch + L"\\profiles-real\\me",
                                  scratch + L"\\profiles-real\\me\\Programs",
                                  scratch + L"\\profiles-real\\me\\Programs\\Velnor for QRX"})
        ::CreateDirectoryW(d.c_str(), nullptr);
    const bool links = CanMakeUnixLinks();
    if (links) {
        ASSERT_TRUE(MakeUnixLink(profile + L"\\VnQRX linked", profile + L"\\VnQRX moved"));
        ASSERT_TRUE(MakeUnixLink(scratch + L"\\Programs\\Velnor link", scratch + L"\\Programs\\Velnor for QRX"));
        ASSERT_TRUE(MakeUnixLink(scratch + L"\\profiles-link", scratch + L"\\profiles-real"));
    }
    const struct {
        const char* what;
        std::wstring programs, name, profile;
        bool needsLinks;
        FolderVerdict verdict;
        std::wstring removeBy;
    } rows[] = {
        {"the user's own Start menu", programs, L"Velnor for QRX", profile, false, FolderVerdict::Removable,
         programs + L"\\Velnor for QRX"},
        {"no product folder", programs, L"Velnor missing", profile, false, FolderVerdict::Missing, L""},
        {"outside the own profile", scratch + L"\\Programs", L"Velnor for QRX", profile, false,
         FolderVerdict::Refused, L""},
        {"the profile itself as the product folder", profile.substr(0, profile.rfind(L'\\')),
         profile.substr(profile.rfind(L'\\') + 1), profile, false, FolderVerdict::Refused, L""},
        {"programs reached through a link inside the profile", profile + L"\\VnQRX linked\\Programs",
         L"Velnor for QRX", profile, true, FolderVerdict::Removable,
         profile + L"\\VnQRX moved\\Programs\\Velnor for QRX"},
        {"the profile reached through a link", scratch + L"\\profiles-real\\me\\Programs", L"Velnor for QRX",
         scratch + L"\\profiles-link\\me", true, FolderVerdict::Removable,
         scratch + L"\\profiles-real\\me\\Programs\\Velnor for QRX"},
        {"the product folder itself a link", scratch + L"\\Programs", L"Velnor link", scratch, true,
         FolderVerdict::Refused, L""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.needsLinks && !links)
            continue;
        WString removeBy;
        EXPECT_EQ(r.verdict, JudgeStartMenuFolder(W(r.programs), W(r.name), W(r.profile), removeBy));
        EXPECT_TRUE(SameText(W(r.removeBy), removeBy)) << Utf8(Ansi(std::wstring(removeBy.begin(), removeBy.end())));
    }
    RemoveMadeUnixLinks();
    for (const std::wstring& d : {scratch + L"\\profiles-real\\me\\Programs\\Velnor for QRX",
                                  scratch + L"\\profiles-real\\me\\Programs", scratch + L"\\profiles-real\\me",
                                  scratch + L"\\profiles-real", scratch + L"\\Programs\\Velnor for QRX",
                                  scratch + L"\\Programs", scratch, programs + L"\\Velnor for QRX",
                                  profile + L"\\VnQRX moved\\Programs\\Velnor for QRX",
                                  profile + L"\\VnQRX moved\\Programs", profile + L"\\VnQRX moved"})
        ::RemoveDirectoryW(d.c_str());
}

// The temporary folder, wherever the user points it, is held and judged before anything
// is written there.
TEST(TemporaryFolder, OnlyAFolderThatIsNoSystemFolderIsHeld)
{
    wchar_t temp[MAX_PATH + 1], windows[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
    const WString own = OwnProfileFolder();
    ::CreateDirectoryW(L"C:\\vnqrx\\scratch", nullptr);
    ::CreateDirectoryW(L"C:\\vnqrx\\scratch\\tmp", nullptr);
    const bool links = CanMakeUnixLinks();
    if (links) {
        ASSERT_TRUE(MakeUnixLink(L"C:\\vnqrx\\scratch\\tmp-link", windows));
    }
    const struct {
        std::wstring folder;
        bool held;
    } rows[] = {
        {temp, true},
        {L"C:\\vnqrx\\scratch\\tmp", true},
        {windows, false},
        {std::wstring(windows) + L"\\Temp", false},
        {L"C:\\", false},
        {std::wstring(own.begin(), own.end()), false},
        {L"C:\\vnqrx\\scratch\\missing", false},
        {links ? L"C:\\vnqrx\\scratch\\tmp-link" : windows, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(Utf8(Ansi(r.folder)));
        WString resolved;
        HANDLE h = OpenJudgedFolder(W(r.folder), resolved);
        EXPECT_EQ(r.held, h != INVALID_HANDLE_VALUE);
        EXPECT_EQ(r.held, !resolved.empty());
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
    RemoveMadeUnixLinks();
    ::RemoveDirectoryW(L"C:\\vnqrx\\scratch\\tmp");
}

}  // namespace
