// The real executable against what another program of the user can put in the folders it
// removes. These run in a prefix of their own (see tests/CMakeLists.txt): whatever goes
// wrong here can only hurt that prefix.
#include "Driver.h"
#include "Staging.h"

#include "res/resource.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"
#include "support/UnixLink.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

const DWORD kWait = 30000;

std::string S(const char* utf8) { return Sjis(utf8); }

std::string Utf8W(const std::wstring& w)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

const std::wstring kYen = L"\u00a5";
// Twelve levels up from anywhere in the prefix, spelled with the yen sign.
std::wstring Up12()
{
    std::wstring up;
    for (int i = 0; i < 12; ++i)
        up += L".." + kYen;
    return up;
}

bool MakeDirW(const std::wstring& path)
{
    return ::CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileW(const std::wstring& path, const std::string& content)
{
    HANDLE h = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    return written == content.size();
}

// Removes a test's own folder tree by exact names, never entering a link.
void RemoveTreeW(const std::wstring& folder)
{
    WIN32_FIND_DATAW d;
    HANDLE find = ::FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &d);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = d.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTreeW(path);
            } else {
                ::SetFileAttributesW((L"\\\\?\\" + path).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW((L"\\\\?\\" + path).c_str());
            }
        } while (::FindNextFileW(find, &d));
        ::FindClose(find);
    }
    ::RemoveDirectoryW((L"\\\\?\\" + folder).c_str());
}

// Everything below `folder` by exact name: relative path -> attributes, size, write time.
// Links are recorded, never entered.
using WideTree = std::map<std::wstring, std::tuple<DWORD, ULONGLONG, ULONGLONG>>;

void WalkW(const std::wstring& folder, const std::wstring& rel, WideTree& out, const std::vector<std::wstring>& skip)
{
    WIN32_FIND_DATAW d;
    HANDLE find = ::FindFirstFileW((L"\\\\?\\" + folder + rel + L"\\*").c_str(), &d);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = d.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring entry = rel + L"\\" + name;
        bool skipped = false;
        for (const std::wstring& s : skip)
            skipped |= _wcsicmp((folder + entry).c_str(), s.c_str()) == 0;
        if (skipped)
            continue;
        const bool dir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out[entry] = {d.dwFileAttributes, dir ? 0 : (ULONGLONG(d.nFileSizeHigh) << 32) | d.nFileSizeLow,
                      dir ? 0 : (ULONGLONG(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime};
        if (dir && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            WalkW(folder, entry, out, skip);
    } while (::FindNextFileW(find, &d));
    ::FindClose(find);
}

std::vector<std::string> Changes(const WideTree& before, const WideTree& after)
{
    std::vector<std::string> out;
    for (const auto& [p, v] : before) {
        auto it = after.find(p);
        if (it == after.end())
            out.push_back("gone: " + Utf8W(p));
        else if (it->second != v)
            out.push_back("changed: " + Utf8W(p));
    }
    for (const auto& [p, v] : after)
        if (!before.count(p))
            out.push_back("added: " + Utf8W(p));
    return out;
}

std::wstring TempFolderW()
{
    wchar_t dir[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, dir);
    std::wstring t = dir;
    return t.substr(0, t.size() - 1);
}

std::wstring NoSlash(const std::string& folder) { return Wide(folder.substr(0, folder.size() - 1)); }

// What the run ended with, as a user sees it.
struct Outcome {
    std::vector<std::string> boxes;   // texts of the boxes after the confirmation, in order
    std::string box;                  // the last of them
    std::string status;               // the status line while it was open
    int bar = -1;
};

class Hostile : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveInstallation();
        RemoveDecoys();
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        ASSERT_TRUE(StageDecoys(error)) << error;
        // Taken before a test changes where the shell's folders are.
        skip = {NoSlash(kInstallDir), NoSlash(StartMenuFolder()), TempFolderW() + L"\\VnQRXReg.dat"};
    }
    void TearDown() override
    {
        tool.Kill();
        RemoveMadeUnixLinks();
        RestoreProgramsFolder();
        RemoveInstallation();
        RemoveDecoys();
    }

    // The whole drive but the suite's own folders and the data file, by exact names.
    WideTree Drive()
    {
        WideTree t;
        WalkW(L"C:", L"", t, skip);
        return t;
    }

    // A normal run: Uninstall, Yes, and every box it shows after that, each answered.
    Outcome RunTool()
    {
        Outcome o;
        if (!tool.Start())
            return o;
        HWND main = tool.WaitMainWindow(kWait);
        if (main == nullptr)
            return o;
        Press(main, IDC_UNINSTALL);
        HWND confirm = tool.WaitBox(kWait);
        if (confirm == nullptr || !Answer(confirm, IDYES))
            return o;
        for (HWND box; (box = tool.WaitBox(o.boxes.empty() ? kWait * 4 : 1500)) != nullptr;) {
            o.boxes.push_back(BoxText(box));
            o.status = StatusText(main);
            o.bar = ProgressPos(main);
            if (!Answer(box, IDOK))
                break;
        }
        if (!o.boxes.empty())
            o.box = o.boxes.back();
        Press(main, IDOK);
        tool.WaitExit(kWait);
        return o;
    }

    // Points the user's Start-menu programs folder at `folder` (the user's own setting,
    // which any program of the user may change), until the test ends.
    void SetProgramsFolder(const std::wstring& folder)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_ALL_ACCESS, &key));
        if (!programsSet) {
            wchar_t was[MAX_PATH * 2] = {};
            DWORD size = sizeof was - sizeof(wchar_t);
            programsWas = ::RegQueryValueExW(key, L"Programs", nullptr, nullptr, reinterpret_cast<BYTE*>(was),
                                             &size) == ERROR_SUCCESS
                              ? std::wstring(was)
                              : std::wstring();
            programsSet = true;
        }
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, L"Programs", 0, REG_EXPAND_SZ,
                                                  reinterpret_cast<const BYTE*>(folder.c_str()),
                                                  static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))));
        ::RegCloseKey(key);
    }
    void RestoreProgramsFolder()
    {
        HKEY key = nullptr;
        if (!programsSet || ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
        if (programsWas.empty())
            ::RegDeleteValueW(key, L"Programs");
        else
            ::RegSetValueExW(key, L"Programs", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(programsWas.c_str()),
                             static_cast<DWORD>((programsWas.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        programsSet = false;
    }

    static constexpr const wchar_t* kUserShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    bool programsSet = false;
    std::wstring programsWas;
    ToolProcess tool;
    std::vector<std::wstring> skip;
};

const char kDone[] = "アンインストールが完了しました。";
const char kLeft[] = "次のフォルダーを削除できませんでした。Velnor for QRXを終了してから、フォルダーを手動で削除してください。";
const char kLeftStatus[] = "アンインストールは完了しましたが、削除できなかったフォルダーがあります。";

// Hostile entries staged inside the suite's own folders: each is the suite's and goes,
// and nothing its best-fit ANSI form names elsewhere is touched.
TEST_F(Hostile, EntriesWithHostileNamesGoAndNothingElse)
{
    const std::wstring menu = NoSlash(StartMenuFolder());
    const std::wstring install = NoSlash(kInstallDir);
    // Where the ANSI forms point: a folder of another program under ProgramData.
    const std::wstring other = L"C:\\ProgramData\\Other Program";
    ASSERT_TRUE(MakeDirW(other));
    ASSERT_TRUE(WriteFileW(other + L"\\settings.ini", "other"));
    struct {
        std::wstring path;
        bool folder;
    } entries[] = {
        {menu + L"\\" + Up12() + L"windows" + kYen + L"win.ini", false},
        {menu + L"\\" + Up12() + L"ProgramData" + kYen + L"Other Program", true},
        {install + L"\\" + Up12() + L"windows" + kYen + L"win.ini", false},
        {install + L"\\" + Up12() + L"ProgramData" + kYen + L"Other Program", true},
        {menu + L"\\" + kYen, true},   // lists as "\": the removal's own parent again
        {menu + L"\\" + kYen + L"\\" + kYen, true},
        {install + L"\\" + kYen, true},
        {menu + L"\\\U0001F4F1 \u03A6\u03C9\u03BD\u03AE.lnk", false},   // no form in code page 932
        {install + L"\\caf\u00e9 \u00bf", true},
        {install + L"\\caf\u00e9 \u00bf\\r\u00e9sum\u00e9 \U0001F600.txt", false},
    };
    for (const auto& e : entries) {
        ASSERT_TRUE(e.folder ? MakeDirW(e.path) : WriteFileW(e.path, "hostile")) << Utf8W(e.path);
        if (e.folder) {
            ASSERT_TRUE(WriteFileW(e.path + L"\\in.txt", "hostile"));
        }
    }
    const WideTree before = Drive();
    ASSERT_TRUE(before.count(L"\\windows\\win.ini"));

    const Outcome o = RunTool();
    EXPECT_EQ(S(kDone), o.box);
    EXPECT_EQ(100, o.bar);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(install.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(menu.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
    EXPECT_TRUE(DecoysIntact());
}

const char kRefused[] = "次のフォルダーは、Velnor for QRX以外のファイルを含むおそれがあるため削除しませんでした。";

std::wstring ProfileW()
{
    wchar_t profile[MAX_PATH + 1] = {};
    ::ExpandEnvironmentStringsW(L"%USERPROFILE%", profile, MAX_PATH + 1);
    return profile;
}

// The Start-menu programs folder is where the user's own setting says. A product folder
// there that is not inside the user's own profile, or is a link, is somebody else's: it is
// refused, named under 121 (never by a best-fit path), and nothing claims completion.
TEST_F(Hostile, StartMenuFoldersOutsideTheUsersOwnProfileAreRefusedAndSaidSo)
{
    const std::wstring victim = L"C:\\ProgramData\\Victim";
    ASSERT_TRUE(MakeDirW(victim));
    ASSERT_TRUE(WriteFileW(victim + L"\\keep.txt", "keep"));
    const std::wstring other = L"C:\\users\\other\\Documents";
    const std::wstring shared = L"C:\\ProgramData\\Halcyra";
    const std::wstring yenPrograms = L"C:\\vnqrx\\menu" + kYen + L"Programs";
    struct Case {
        const char* what;
        std::function<bool()> stage;
        std::string shown;   // as box 121 names it
        std::function<void()> undo;
        bool link = false;      // needs a link
    };
    const std::string menu = StartMenuFolder();
    Case cases[] = {
        {"another user's documents",
         [&] {
             SetProgramsFolder(other);
             return MakeDirW(L"C:\\users\\other") && MakeDirW(other) && MakeDirW(other + L"\\Velnor for QRX") &&
                    WriteFileW(other + L"\\Velnor for QRX\\letter.doc", "another user's");
         },
         "C:\\users\\other\\Documents\\Velnor for QRX\\", [&] { RestoreProgramsFolder(); }},
        {"the suite's data shared by all users",
         [&] {
             SetProgramsFolder(shared);
             return MakeDirW(shared) && MakeDirW(shared + L"\\Velnor for QRX") &&
                    WriteFileW(shared + L"\\Velnor for QRX\\phonebook.db", "every user's");
         },
         "C:\\ProgramData\\Halcyra\\Velnor for QRX\\", [&] { RestoreProgramsFolder(); }},
        {"the product folder is a link to another folder",
         [&] {
             return UnixRename(NoSlash(menu), L"C:\\vnqrx\\menu-real") && MakeUnixLink(NoSlash(menu), victim);
         },
         menu, [&] {
             RemoveMadeUnixLinks();
             UnixRename(L"C:\\vnqrx\\menu-real", NoSlash(menu));
         }, true},
        {"a programs folder without an exact code-page-932 path, outside the profile",
         [&] {
             SetProgramsFolder(yenPrograms);
             // Its best-fit form names another folder, which holds a decoy.
             return MakeDirW(yenPrograms) && MakeDirW(yenPrograms + L"\\Velnor for QRX") &&
                    WriteFileW(yenPrograms + L"\\Velnor for QRX\\own.lnk", "own") && MakeDirW(L"C:\\vnqrx\\menu") &&
                    MakeDirW(L"C:\\vnqrx\\menu\\Programs") &&
                    MakeDirW(L"C:\\vnqrx\\menu\\Programs\\Velnor for QRX") &&
                    WriteFileW(L"C:\\vnqrx\\menu\\Programs\\Velnor for QRX\\other.lnk", "other");
         },
         "C:\\vnqrx\\menu?Programs\\Velnor for QRX\\", [&] { RestoreProgramsFolder(); }},
    };
    std::string unrun;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.link && !CanMakeUnixLinks()) {
            unrun += std::string(" \"") + c.what + "\"";
            continue;
        }
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        ASSERT_TRUE(c.stage());
        const WideTree before = Drive();

        const Outcome o = RunTool();
        EXPECT_EQ(std::vector<std::string>{S(kRefused) + "\n" + c.shown}, o.boxes);
        EXPECT_EQ(S(kLeftStatus), o.status);
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(kInstallDir)) << "the other steps ran";
        c.undo();
    }
    for (const std::wstring& made : {std::wstring(L"C:\\users\\other"), shared, victim, yenPrograms,
                                     std::wstring(L"C:\\vnqrx\\menu")})
        RemoveTreeW(made);
    if (!unrun.empty())
        GTEST_SKIP() << "not run:" << unrun << ": " << NoUnixLinks();
}

// Inside the user's own profile the product folder is found and removed by its exact
// path, whatever the code page can spell, and through links of the user's own on the way;
// a programs folder without one reports nothing.
TEST_F(Hostile, StartMenuFolderInTheUsersOwnProfileGoesByItsExactPath)
{
    const std::wstring profile = ProfileW();
    const std::wstring yenPrograms = profile + L"\\menu" + kYen + L"Programs";
    const std::wstring bestFit = profile + L"\\menu\\Programs";   // what its ANSI form names
    ASSERT_TRUE(MakeDirW(yenPrograms));
    ASSERT_TRUE(MakeDirW(profile + L"\\menu") && MakeDirW(bestFit) && MakeDirW(bestFit + L"\\Velnor for QRX"));
    ASSERT_TRUE(WriteFileW(bestFit + L"\\Velnor for QRX\\other.lnk", "other"));
    ASSERT_TRUE(MakeDirW(profile + L"\\moved-menu") && MakeDirW(profile + L"\\moved-menu\\Programs"));
    const struct {
        const char* what;
        std::wstring programs;
        bool product;
    } cases[] = {
        {"no exact code-page-932 path", yenPrograms, true},
        {"no exact code-page-932 path, no product folder", yenPrograms, false},
        {"reached through a link inside the profile", profile + L"\\linked-menu\\Programs", true},
    };
    if (CanMakeUnixLinks()) {
        ASSERT_TRUE(MakeUnixLink(profile + L"\\linked-menu", profile + L"\\moved-menu"));
    }
    std::string unrun;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.programs.find(L"linked") != std::wstring::npos && !CanMakeUnixLinks()) {
            unrun += std::string(" \"") + c.what + "\"";
            continue;
        }
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        SetProgramsFolder(c.programs);
        const std::wstring product = c.programs + L"\\Velnor for QRX";
        if (c.product) {
            ASSERT_TRUE(MakeDirW(product) && WriteFileW(product + L"\\Velnor for QRX.lnk", "own") &&
                        MakeDirW(product + L"\\" + kYen) && WriteFileW(product + L"\\" + kYen + L"\\in.lnk", "own"));
        }
        const std::vector<std::wstring> keepSkip = skip;
        skip.push_back(product);
        skip.push_back(profile + L"\\moved-menu\\Programs\\Velnor for QRX");
        const WideTree before = Drive();

        const Outcome o = RunTool();
        EXPECT_EQ(std::vector<std::string>{S(kDone)}, o.boxes);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(product.c_str()));
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
        skip = keepSkip;
    }
    RemoveMadeUnixLinks();
    RestoreProgramsFolder();
    for (const std::wstring& made : {yenPrograms, profile + L"\\menu", profile + L"\\moved-menu"})
        RemoveTreeW(made);
    if (!unrun.empty())
        GTEST_SKIP() << "not run:" << unrun << ": " << NoUnixLinks();
}

// Every folder directly in the profiles folder is someone's profile, whatever the system's
// lists say (Default, a removed account's leftover): a registered one is refused.
TEST_F(Hostile, NoFolderDirectlyInTheProfilesFolderIsRemoved)
{
    const std::wstring profiles = ProfileW().substr(0, ProfileW().rfind(L'\\'));
    for (const std::wstring& folder : {profiles + L"\\Default", profiles + L"\\olduser"}) {
        SCOPED_TRACE(Utf8W(folder));
        ASSERT_TRUE(MakeDirW(folder) && MakeDirW(folder + L"\\Documents"));
        ASSERT_TRUE(WriteFileW(folder + L"\\Documents\\letter.doc", "someone's"));
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        SetRegistration("InstallDir", Ansi(folder) + "\\");
        const WideTree before = Drive();

        const Outcome o = RunTool();
        EXPECT_EQ(std::vector<std::string>{S(kRefused) + "\n" + Ansi(folder) + "\\"}, o.boxes);
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
        RemoveTreeW(folder);
    }
}


// Registered folders that may hold what is not the suite's: refused, said so under 121,
// and nothing outside the suite changed.
TEST_F(Hostile, RegisteredFoldersThatMayHoldOthersFilesAreRefusedAndSaidSo)
{
    const bool links = CanMakeUnixLinks();
    wchar_t programData[MAX_PATH + 1], publicFolder[MAX_PATH + 1], windows[MAX_PATH + 1];
    ::ExpandEnvironmentStringsW(L"%ProgramData%", programData, MAX_PATH + 1);
    ::ExpandEnvironmentStringsW(L"%PUBLIC%", publicFolder, MAX_PATH + 1);
    ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
    ASSERT_TRUE(MakeDirW(std::wstring(programData) + L"\\Other Program"));
    ASSERT_TRUE(WriteFileW(std::wstring(programData) + L"\\Other Program\\settings.ini", "other"));
    ASSERT_TRUE(MakeDirW(std::wstring(publicFolder) + L"\\Velnor for QRX"));
    ASSERT_TRUE(WriteFileW(std::wstring(publicFolder) + L"\\Velnor for QRX\\shared.txt", "shared"));
    std::vector<std::string> rows = {
        Ansi(windows) + "\\Fonts\\",
        Ansi(publicFolder),
    };
    if (links) {
        // "All Users": a link to ProgramData; P: a drive that stands for the Public profile.
        ASSERT_TRUE(MakeDirW(L"C:\\vnqrx\\links"));
        ASSERT_TRUE(MakeUnixLink(L"C:\\vnqrx\\links\\All Users", programData));
        ASSERT_TRUE(MakeUnixDrive(L'P', publicFolder));
        rows.insert(rows.begin(), {"C:\\vnqrx\\links\\All Users\\Other Program\\", "P:\\Velnor for QRX\\",
                                   "P:\\Documents\\"});
    }
    for (const std::string& folder : rows) {
        SCOPED_TRACE(folder);
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        SetRegistration("InstallDir", folder);
        const WideTree before = Drive();

        const Outcome o = RunTool();
        EXPECT_EQ(S(kRefused) + "\n" + folder, o.box);
        EXPECT_EQ(S(kLeftStatus), o.status);
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(StartMenuFolder().c_str())) << "the other steps ran";
    }
    if (!links)
        GTEST_SKIP() << "not run: the folders through a link or a drive alias: " << NoUnixLinks();
    // A refused folder that does not exist is not reported at all.
    std::string error;
    ASSERT_TRUE(StageInstallation(error)) << error;
    SetRegistration("InstallDir", "P:\\Missing\\");
    const Outcome o = RunTool();
    EXPECT_EQ(S(kDone), o.box);
}

const char kNoDataFile[] = "VnQRXReg.datが見つかりませんでした。";

// The user names the temporary folder (TMP and TEMP in the user's own environment) and
// can replace it by a link. The data file's copy is written only to a folder that passes
// the judgement; otherwise the run stops at the registry step as for a copy that cannot be
// written (box 106, registry untouched, no completion), and still names the folders it
// refused.
TEST_F(Hostile, DataFileGoesOnlyToATemporaryFolderThatIsNoSystemFolder)
{
    wchar_t windowsBuffer[MAX_PATH + 1];
    ::GetWindowsDirectoryW(windowsBuffer, MAX_PATH + 1);
    const std::wstring windows = windowsBuffer;
    const std::wstring temp = TempFolderW();
    HKEY environment = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_ALL_ACCESS, &environment));
    auto setTemp = [&](const std::wstring& folder) {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            ::RegSetValueExW(environment, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                             static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
            ::SetEnvironmentVariableW(name, folder.c_str());   // what the tool, started from here, inherits
        }
        return true;
    };
    // As they were: in this process, and in the user's settings (Wine keeps them there).
    std::map<std::wstring, std::pair<std::wstring, std::vector<BYTE>>> was;
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        wchar_t value[MAX_PATH + 1] = {};
        ::GetEnvironmentVariableW(name, value, MAX_PATH + 1);
        std::vector<BYTE> data(4096);
        DWORD type = REG_NONE, size = static_cast<DWORD>(data.size());
        if (::RegQueryValueExW(environment, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
            data.resize(size);
        else
            data.clear();
        data.insert(data.begin(), static_cast<BYTE>(type));
        was[name] = {value, data};
    }
    auto restoreTemp = [&] {
        for (const auto& [name, value] : was) {
            ::SetEnvironmentVariableW(name.c_str(), value.first.c_str());
            if (value.second.size() > 1)
                ::RegSetValueExW(environment, name.c_str(), 0, value.second[0], value.second.data() + 1,
                                 static_cast<DWORD>(value.second.size() - 1));
            else
                ::RegDeleteValueW(environment, name.c_str());
        }
    };
    const struct {
        const char* what;
        std::function<bool()> stage;
        std::function<void()> undo;
    } cases[] = {
        {"TMP and TEMP set to the Windows folder", [&] { return setTemp(windows); }, restoreTemp},
        {"the temporary folder a link to the Windows folder",
         [&] { return UnixRename(temp, temp + L"-real") && MakeUnixLink(temp, windows); },
         [&] {
             RemoveMadeUnixLinks();
             UnixRename(temp + L"-real", temp);
         }},
    };
    const std::wstring profiles = ProfileW().substr(0, ProfileW().rfind(L'\\'));
    const std::wstring refused = profiles + L"\\Default";
    std::string unrun;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what).find("link") != std::string::npos && !CanMakeUnixLinks()) {
            unrun += std::string(" \"") + c.what + "\"";
            continue;
        }
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        ASSERT_TRUE(MakeDirW(refused) && WriteFileW(refused + L"\\ntuser.dat", "someone's"));
        SetRegistration("InstallDir", Ansi(refused) + "\\");
        ASSERT_TRUE(c.stage());
        const WideTree before = Drive();

        const Outcome o = RunTool();
        const WideTree after = Drive();
        c.undo();
        EXPECT_EQ((std::vector<std::string>{S(kNoDataFile), S(kRefused) + "\n" + Ansi(refused) + "\\"}), o.boxes);
        EXPECT_EQ("", o.status);
        EXPECT_LT(o.bar, 100);
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, after));
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kProductKey, "DisplayName")) << "the registry is untouched";
        EXPECT_TRUE(DecoysIntact());
        RemoveTreeW(refused);
    }
    ::RegCloseKey(environment);
    if (!unrun.empty())
        GTEST_SKIP() << "not run:" << unrun << ": " << NoUnixLinks();
}

// Any program of the user can make a key of the user's own hive a registry link to a key
// of the machine's. The pass never follows one: what it leads to keeps every value and
// key, and the link stays.
TEST_F(Hostile, RegistryLinksInTheUsersHiveAreNeverFollowed)
{
    const std::string listed = "Software\\Halcyra\\Velnor for QRX\\10.0";
    const std::string victim = "SOFTWARE\\VnQRXVictim";
    DeleteTree(HKEY_LOCAL_MACHINE, victim);
    for (const char* name : {"Language", "FirstRun", "Skin", "FontSize"})
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, victim, name, "the machine's"));
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, victim + "\\AddIns"));            // listed without lines
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, victim + "\\Modules\\VqPhone", "Port", "the machine's"));
    DeleteTree(HKEY_CURRENT_USER, listed);
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, listed, HKEY_LOCAL_MACHINE, victim));

    const Outcome o = RunTool();
    EXPECT_EQ(std::vector<std::string>{S(kDone)}, o.boxes);
    for (const char* name : {"Language", "FirstRun", "Skin", "FontSize"})
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim, name)) << name;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, victim + "\\AddIns"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim + "\\Modules\\VqPhone", "Port"));
    EXPECT_TRUE(IsRegistryLink(HKEY_CURRENT_USER, listed));
    DeleteTree(HKEY_CURRENT_USER, listed);
    DeleteTree(HKEY_LOCAL_MACHINE, victim);
}

// A copy of a listed class in the user's own classes (which, on Windows, would hide the
// machine's registration from a pass through HKEY_CLASSES_ROOT): both are cleaned.
TEST_F(Hostile, AClassCopiedIntoTheUsersClassesIsCleanedThereAndInTheMachines)
{
    const std::string listed = "Halcyra.VelnorQRX.PhoneControl";
    const std::string user = "Software\\Classes\\" + listed;
    const bool hadClasses = KeyExists(HKEY_CURRENT_USER, "Software\\Classes");
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, listed)) << "staged in the machine's classes";
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, user, "", "Velnor Phone Control"));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, user + "\\CurVer", "", "Halcyra.VelnorQRX.PhoneControl.1"));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, user + "\\CLSID", "", "{4CAC114E-194B-5F4D-AF3C-A146B3239418}"));

    const Outcome o = RunTool();
    EXPECT_EQ(std::vector<std::string>{S(kDone)}, o.boxes);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, listed));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + listed));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, user));
    DeleteTree(HKEY_CURRENT_USER, user);
    if (!hadClasses)
        DeleteTree(HKEY_CURRENT_USER, "Software\\Classes");
}

}  // namespace
