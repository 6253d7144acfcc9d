// The real executable against what another program of the user can put in the folders it
// removes. These run in a prefix of their own (see tests/CMakeLists.txt): whatever goes
// wrong here can only hurt that prefix.
#include "Driver.h"
#include "Staging.h"

#include "res/resource.h"
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
    std::string box;      // text of the last box
    std::string status;   // the status line after it
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

    // A normal run: Uninstall, Yes, and the box it ends with.
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
        HWND last = tool.WaitBox(kWait * 4);
        if (last == nullptr)
            return o;
        o.box = BoxText(last);
        o.status = StatusText(main);
        o.bar = ProgressPos(main);
        Answer(last, IDOK);
        Press(main, IDOK);
        tool.WaitExit(kWait);
        return o;
    }

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

// Folders the run cannot take as the suite's: each is left as it is and named in box 119,
// with no claim of completion.
TEST_F(Hostile, FoldersThatAreNotWhatTheySeemAreLeftAndReported)
{
    const std::string menu = StartMenuFolder();
    const std::wstring victim = L"C:\\ProgramData\\Victim";
    struct Case {
        const char* what;
        std::function<bool()> stage;
        std::string reported;   // the folder box 119 names
        std::function<void()> undo;
        bool link = false;      // needs a link
    };
    HKEY shellFolders = nullptr;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    0, KEY_ALL_ACCESS, &shellFolders);
    const std::wstring yenPrograms = L"C:\\vnqrx\\menu" + kYen + L"Programs";
    const std::string yenProgramsAnsi = "C:\\vnqrx\\menu\\Programs\\";   // its best-fit form
    Case cases[] = {
        {"the Start-menu folder is a link to another folder",
         [&] {
             return UnixRename(NoSlash(menu), L"C:\\vnqrx\\menu-real") && MakeUnixLink(NoSlash(menu), victim);
         },
         menu, [&] {
             RemoveMadeUnixLinks();
             UnixRename(L"C:\\vnqrx\\menu-real", NoSlash(menu));
         }, true},
        {"the programs folder has no exact code-page-932 path",
         [&] {
             const std::wstring v = yenPrograms;
             return MakeDirW(L"C:\\vnqrx\\menu" + kYen + L"Programs") &&
                    MakeDirW(yenPrograms + L"\\Velnor for QRX") &&
                    WriteFileW(yenPrograms + L"\\Velnor for QRX\\own.lnk", "own") &&
                    MakeDirW(L"C:\\vnqrx\\menu") && MakeDirW(L"C:\\vnqrx\\menu\\Programs") &&
                    MakeDirW(L"C:\\vnqrx\\menu\\Programs\\Velnor for QRX") &&
                    WriteFileW(L"C:\\vnqrx\\menu\\Programs\\Velnor for QRX\\other.lnk", "other") &&
                    ::RegSetValueExW(shellFolders, L"Programs", 0, REG_EXPAND_SZ,
                                     reinterpret_cast<const BYTE*>(v.c_str()),
                                     static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
         },
         yenProgramsAnsi + "Velnor for QRX\\", [&] { ::RegDeleteValueW(shellFolders, L"Programs"); }},
    };
    ASSERT_TRUE(MakeDirW(victim));
    ASSERT_TRUE(WriteFileW(victim + L"\\keep.txt", "keep"));
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
        EXPECT_EQ(S(kLeft) + "\n" + c.reported, o.box);
        EXPECT_EQ(S(kLeftStatus), o.status);
        EXPECT_EQ(std::vector<std::string>{}, Changes(before, Drive()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(kInstallDir)) << "the other steps ran";
        c.undo();
    }
    ::RegCloseKey(shellFolders);
    if (!unrun.empty())
        GTEST_SKIP() << "not run:" << unrun << ": " << NoUnixLinks();
}

const char kRefused[] = "次のフォルダーは、Velnor for QRX以外のファイルを含むおそれがあるため削除しませんでした。";

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

}  // namespace
