// The real executable under Wine, driven from outside as a user would drive it.
#include "Driver.h"
#include "Staging.h"

#include "res/resource.h"
#include "support/RegFile.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

namespace {

const DWORD kWait = 20000;

std::string S(const char* utf8) { return Sjis(utf8); }

const char kTitle[] = "Velnor forQRXアンインストールツール";
const char kReady[] = "Velnor for QRXのアンインストールを行うには\n「アンインストール」ボタンをクリックしてください。";
const char kPolicy[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\CleanupVnQRX.exe";

// The whole drive as it is. A 32-bit program on 64-bit Windows is shown SysWOW64 where
// it asks for C:\Windows\System32 (and the real System32 only as C:\Windows\Sysnative,
// which no listing shows), so its redirection is off while the drive is listed.
FileTree SnapshotDrive()
{
    PVOID redirection = nullptr;
    BOOL off = Wow64DisableWow64FsRedirection(&redirection);   // fails, harmlessly, in a 64-bit program
    FileTree drive = SnapshotFiles("C:\\");
    if (off)
        Wow64RevertWow64FsRedirection(redirection);
    return drive;
}

std::string TempFolder()
{
    char dir[MAX_PATH + 1];
    GetTempPathA(sizeof dir, dir);
    return dir;
}

// Whether a difference of the drive (DiffFiles) is the data file itself, added or changed
// in the temporary folder: its exact name. A copy beside it (".tmp", ".old") is not it.
bool IsDataFile(const std::string& diff)
{
    const std::string path = Utf8(TempFolder().substr(3)) + "VnQRXReg.dat";
    for (const std::string kind : {"added: ", "changed: "})
        if (_stricmp(diff.c_str(), (kind + path).c_str()) == 0)
            return true;
    return false;
}

// Whether a difference of the drive lies in `folder` (a full path ending in a backslash)
// or is the folder itself.
bool IsIn(const std::string& diff, const std::string& folder)
{
    const std::string rel = Utf8(folder.substr(3));
    const size_t at = diff.find(": ");
    return at != std::string::npos && _strnicmp(diff.c_str() + at + 2, rel.c_str(), rel.size()) == 0;
}

// The box of folders left, as a user reads it: groups parted by a blank line, each a
// heading and then one folder a line.
using FolderGroups = std::vector<std::pair<std::string, std::vector<std::string>>>;

FolderGroups GroupsOf(const std::string& box)
{
    FolderGroups groups;
    std::vector<std::string> lines;
    for (size_t at = 0; at <= box.size();) {
        size_t end = box.find('\n', at);
        if (end == std::string::npos)
            end = box.size();
        lines.push_back(box.substr(at, end - at));
        at = end + 1;
    }
    bool next = true;   // the next line is a heading
    for (const std::string& line : lines) {
        if (line.empty())
            next = true;
        else if (next) {
            groups.push_back({line, {}});
            next = false;
        } else
            groups.back().second.push_back(line);
    }
    return groups;
}

// ---------------------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------------------

TEST(StartUp, ShowsTheDialogWithTitleInstructionAndEmptyBar)
{
    ToolProcess tool;
    ASSERT_TRUE(tool.Start());
    HWND main = tool.WaitMainWindow(kWait);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(S(kTitle), WindowText(main));
    EXPECT_EQ(S(kReady), StatusText(main));
    EXPECT_EQ(0, ProgressPos(main));
    EXPECT_EQ(std::make_pair(0, 100), ProgressRange(main));
    EXPECT_EQ(S("終了"), WindowText(GetDlgItem(main, IDOK)));
    EXPECT_EQ(S("アンインストール"), WindowText(GetDlgItem(main, IDC_UNINSTALL)));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui);
    EXPECT_EQ(GetDlgItem(main, IDOK), gui.hwndFocus) << "Exit holds the focus";
    Press(main, IDOK);
    EXPECT_TRUE(tool.WaitExit(kWait)) << "Exit ends the process";
}

TEST(StartUp, EscapeAndTheCloseBoxEndTheProcess)
{
    {
        ToolProcess tool;
        ASSERT_TRUE(tool.Start());
        HWND main = tool.WaitMainWindow(kWait);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(Activate(main));
        KeyDown(VK_ESCAPE);
        KeyUp(VK_ESCAPE);
        EXPECT_TRUE(tool.WaitExit(kWait)) << "Esc";
    }
    {
        ToolProcess tool;
        ASSERT_TRUE(tool.Start());
        HWND main = tool.WaitMainWindow(kWait);
        ASSERT_NE(nullptr, main);
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(tool.WaitExit(kWait)) << "close box";
    }
}

// A dialog of this process made from the tool's own template, with the system menu the
// tool should have: the system's items, then a separator and string 101. Runs on a thread
// of its own, since an open menu keeps its thread in the menu's loop.
class ReferenceDialog {
public:
    ReferenceDialog()
    {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &ReferenceDialog::Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 10000);
    }
    ~ReferenceDialog()
    {
        if (dialog)
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND dialog = nullptr;

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM)
    {
        switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDCANCEL)
                DestroyWindow(hwnd);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
        }
    }
    static DWORD WINAPI Run(LPVOID p)
    {
        auto* self = static_cast<ReferenceDialog*>(p);
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CLEANUP), nullptr,
                                      &ReferenceDialog::Proc, 0);
        if (HMENU menu = GetSystemMenu(dlg, FALSE)) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING, IDM_ABOUT, Sjis("バージョン情報 CleanupVnQRX(&A)...").c_str());
        }
        self->dialog = dlg;
        SetEvent(self->ready_);
        MSG msg;
        while (dlg && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return 0;
    }
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
};

TEST(StartUp, TheSystemMenuEndsWithTheAboutItemThatOpensTheAboutBox)
{
    // What the system menu looks like with a separator and string 101 as its last items.
    ScreenImage expected;
    {
        ReferenceDialog reference;
        ASSERT_NE(nullptr, reference.dialog);
        ASSERT_TRUE(Activate(reference.dialog));
        HWND popup = OpenSystemMenu(reference.dialog, kWait);
        ASSERT_NE(nullptr, popup);
        expected = SettledScreenPixels(popup, 3000);
        Tap(VK_ESCAPE);
    }
    ASSERT_FALSE(expected.pixels.empty());

    ToolProcess tool;
    ASSERT_TRUE(tool.Start());
    HWND main = tool.WaitMainWindow(kWait);
    ASSERT_NE(nullptr, main);
    // Chosen through the menu: the last item by End and Enter, then by a click on it.
    // (Not by its accelerator: under Wine the system menu holds an "About Wine" item of its
    // own on A, which the key reaches first.)
    for (const char* how : {"End, Enter", "click"}) {
        SCOPED_TRACE(how);
        ASSERT_TRUE(Activate(main));
        HWND popup = OpenSystemMenu(main, kWait);
        ASSERT_NE(nullptr, popup);
        EXPECT_TRUE(WaitFor([&] { return ScreenPixels(popup) == expected; }, 3000))
            << "the system menu is not the system's items, a separator and string 101";
        if (how[0] == 'E') {
            Tap(VK_END);
            Tap(VK_RETURN);
        } else {
            RECT rc;
            GetWindowRect(popup, &rc);
            ASSERT_TRUE(PointAt((rc.left + rc.right) / 2, rc.bottom - 8));
            ClickHere();
        }
        HWND about = tool.WaitBox(kWait);
        ASSERT_NE(nullptr, about);
        EXPECT_EQ(S("バージョン情報"), WindowText(about));
        std::vector<std::string> texts = StaticTexts(about);
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "CleanupVnQRX Version 1.0"));
        EXPECT_FALSE(IsWindowEnabled(main)) << "modal over the dialog";
        ASSERT_TRUE(Answer(about, IDOK));
        EXPECT_TRUE(IsWindowEnabled(main));
    }
    Press(main, IDOK);
    EXPECT_TRUE(tool.WaitExit(kWait));
}

// A refused start: one box captioned with the application name, then the process ends.
void ExpectRefusal(const char* text)
{
    ToolProcess tool;
    ASSERT_TRUE(tool.Start());
    HWND box = tool.WaitBox(kWait);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("CleanupVnQRX", WindowText(box));
    EXPECT_EQ(S(text), BoxText(box));
    EXPECT_EQ(std::vector<int>{IDOK}, ButtonIds(box));
    EXPECT_EQ("exclamation", IconOf(box));
    EXPECT_EQ(nullptr, tool.WaitMainWindow(0));
    Answer(box, IDOK);
    EXPECT_TRUE(tool.WaitExit(kWait));
}

TEST(StartUp, RefusesWindowsXpAndServer2003)
{
    for (const char* version : {"winxp", "win2003"}) {
        SCOPED_TRACE(version);
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kAppDefaults, "Version", version));
        ExpectRefusal("本ツールはお使いのOSではご使用になれません。");
        DeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    }
}

TEST(StartUp, RefusesWhenUacIsOff)
{
    struct {
        const char* name;
        int how;   // 0: value 0, 1: absent, 2: 8 bytes
    } cases[] = {{"EnableLUA 0", 0}, {"EnableLUA absent", 1}, {"EnableLUA 8 bytes", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicy, 0, KEY_ALL_ACCESS, &key));
        RegDeleteValueA(key, "EnableLUA");
        ULONGLONG one = 1;
        DWORD zero = 0;
        if (c.how == 0)
            RegSetValueExA(key, "EnableLUA", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4);
        if (c.how == 2)
            RegSetValueExA(key, "EnableLUA", 0, REG_QWORD, reinterpret_cast<BYTE*>(&one), 8);
        ExpectRefusal("本ツールをご使用になるには、ユーザーアカウント制御（UAC）を有効にする必要があります。");
        DWORD on = 1;
        RegSetValueExA(key, "EnableLUA", 0, REG_DWORD, reinterpret_cast<BYTE*>(&on), 4);
        RegCloseKey(key);
    }
}

TEST(StartUp, ASecondInstanceEndsSilently)
{
    ToolProcess first;
    ASSERT_TRUE(first.Start());
    HWND main = first.WaitMainWindow(kWait);
    ASSERT_NE(nullptr, main);
    {
        ToolProcess second;
        ASSERT_TRUE(second.Start());
        EXPECT_TRUE(second.WaitExit(kWait));
        EXPECT_TRUE(second.Windows().empty()) << "no window and no box";
    }
    Press(main, IDOK);
    ASSERT_TRUE(first.WaitExit(kWait));
    ToolProcess third;
    ASSERT_TRUE(third.Start());
    HWND again = third.WaitMainWindow(kWait);
    ASSERT_NE(nullptr, again) << "nothing of the guard persists";
    Press(again, IDOK);
    EXPECT_TRUE(third.WaitExit(kWait));
}

TEST(StartUp, TheChecksComeBeforeTheSingleInstanceGuard)
{
    // A refused start while another instance runs still says why: the checks run first.
    ToolProcess first;
    ASSERT_TRUE(first.Start());
    HWND main = first.WaitMainWindow(kWait);
    ASSERT_NE(nullptr, main);
    struct {
        const char* name;
        void (*apply)(bool on);
        const char* text;
    } cases[] = {
        {"UAC off",
         [](bool on) {
             DWORD lua = on ? 0 : 1;
             HKEY key;
             RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicy, 0, KEY_ALL_ACCESS, &key);
             RegSetValueExA(key, "EnableLUA", 0, REG_DWORD, reinterpret_cast<BYTE*>(&lua), 4);
             RegCloseKey(key);
         },
         "本ツールをご使用になるには、ユーザーアカウント制御（UAC）を有効にする必要があります。"},
        {"Windows XP",
         [](bool on) {
             if (on)
                 SetString(HKEY_CURRENT_USER, kAppDefaults, "Version", "winxp");
             else
                 DeleteTree(HKEY_CURRENT_USER, kAppDefaults);
         },
         "本ツールはお使いのOSではご使用になれません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.apply(true);
        ExpectRefusal(c.text);
        c.apply(false);
    }
    EXPECT_TRUE(first.Running());
    Press(main, IDOK);
    EXPECT_TRUE(first.WaitExit(kWait));
}

// "<tree>: key added: X" for an empty HKEY_LOCAL_MACHINE\X that the data file lists.
bool IsEmptyListedKey(const std::string& diff)
{
    const std::string marker = ": key added: ";
    size_t at = diff.find(marker);
    bool machine = diff.compare(0, 9, "SOFTWARE:") == 0 || diff.compare(0, 7, "SYSTEM\\") == 0;
    if (at == std::string::npos || !machine)
        return false;
    const std::string path = Sjis(diff.substr(at + marker.size()));
    std::vector<RegFileSection> sections;
    std::string error;
    ParseRegFile(EmbeddedRegData(), sections, error);
    bool listed = false;
    for (const RegFileSection& s : sections)
        listed |= s.root == HKEY_LOCAL_MACHINE && _stricmp(s.subKey.c_str(), path.c_str()) == 0;
    HKEY key;
    if (!listed || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return subKeys == 0 && values == 0;
}

// ---------------------------------------------------------------------------------------
// Uninstall runs on a staged installation
// ---------------------------------------------------------------------------------------

class Run : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveInstallation();
        RemoveDecoys();
        DeleteDataFile();
        RememberRegistry("clean");
        cleanDrive = SnapshotDrive();
        std::string error;
        ASSERT_TRUE(StageInstallation(error)) << error;
        ASSERT_TRUE(StageDecoys(error)) << error;
        RememberRegistry("staged");
        stagedDrive = SnapshotDrive();
        ASSERT_TRUE(tool.Start());
        main = tool.WaitMainWindow(kWait);
        ASSERT_NE(nullptr, main);
    }
    void TearDown() override
    {
        tool.Kill();
        RemoveInstallation();
        RemoveDecoys();
        DeleteDataFile();
    }
    static void DeleteDataFile()
    {
        std::string f = TempFolder() + "VnQRXReg.dat";
        SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(f.c_str());
    }
    // Clicks Uninstall and returns the first box of the run.
    HWND Click()
    {
        Press(main, IDC_UNINSTALL);
        return tool.WaitBox(kWait);
    }
    void ExpectBox(HWND box, const char* caption, const char* text, std::vector<int> buttons, const char* icon)
    {
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(S(caption), WindowText(box));
        EXPECT_EQ(S(text), BoxText(box));
        EXPECT_EQ(buttons, ButtonIds(box));
        EXPECT_EQ(icon, IconOf(box));
    }
    // Nothing on the drive or in the registry changed since staging.
    void ExpectUntouched()
    {
        EXPECT_EQ(std::vector<std::string>{}, DiffFiles(stagedDrive, SnapshotDrive()));
        EXPECT_EQ(std::vector<std::string>{}, RegistryDiffSince("staged"));
    }
    // Everything of the suite is gone; the decoys and everything else are as before.
    void ExpectUninstalled()
    {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kInstallDir));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StartMenuFolder().c_str()));
        // The drive: as before staging, plus the decoys and the data file left in Temp.
        std::vector<std::string> diff = DiffFiles(cleanDrive, SnapshotDrive());
        std::vector<std::string> unexpected;
        for (const std::string& d : diff)
            if (d.find("Velnor Tools") == std::string::npos && !IsDataFile(d) &&
                d.find(Utf8(CommonProgramsFolder()).substr(3)) == std::string::npos)
                unexpected.push_back(d);
        EXPECT_EQ(std::vector<std::string>{}, unexpected);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((TempFolder() + "VnQRXReg.dat").c_str()))
            << "the data file stays in the temporary folder";
        EXPECT_TRUE(DecoysIntact()) << Report();
        ExpectRegistryUninstalled();
    }
    // The registry: as before staging, but for the decoys and the listed keys that had to
    // stay to hold them (empty once the decoys are gone).
    void ExpectRegistryUninstalled()
    {
        RemoveDecoys();
        std::vector<std::string> registryLeft;
        for (const std::string& d : RegistryDiffSince("clean"))
            if (!IsEmptyListedKey(d))
                registryLeft.push_back(d);
        EXPECT_EQ(std::vector<std::string>{}, registryLeft);
    }

    void ExpectFolderLeftAlone(const char* folder);
    // Answers Yes in the confirmation box, and expects the run to end in the completion
    // box (status 116, bar 100), which it closes.
    void YesToCompletion(HWND confirm)
    {
        ASSERT_TRUE(Answer(confirm, IDYES));
        HWND done = tool.WaitBox(kWait);
        ExpectBox(done, kTitle, "アンインストールが完了しました。", {IDOK}, "information");
        EXPECT_EQ(S("Velnor for QRXのアンインストールが完了しました。"), StatusText(main));
        EXPECT_EQ(100, ProgressPos(main));
        ASSERT_TRUE(Answer(done, IDOK));
    }

    ToolProcess tool;
    HWND main = nullptr;
    FileTree cleanDrive, stagedDrive;
};

TEST_F(Run, RemovesTheWholeSuiteAndNothingElse)
{
    HWND confirm = Click();
    ExpectBox(confirm, kTitle,
              "Velnor for QRXを起動している場合は終了させてください。Velnor for QRXをアンインストールしてよろしいですか？",
              {IDYES, IDNO}, "information");
    EXPECT_EQ(S("システムを確認しています。"), StatusText(main));
    ASSERT_NO_FATAL_FAILURE(YesToCompletion(confirm));
    ExpectUninstalled();
}

TEST_F(Run, DoesNothingWhenTheProductIsNotRegistered)
{
    struct {
        const char* name;
        const char* value;
        const char* data;
        bool remove;
    } cases[] = {
        {"registration absent", "DisplayName", "", true},
        {"display name differs in one byte", "DisplayName", "Velnor for QRx", false},
        {"version 10.0", "ProductVersionMajor", "10.0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetRegistration("DisplayName", "Velnor for QRX");
        SetRegistration("ProductVersionMajor", "10");
        SetRegistration(c.value, c.data, c.remove);
        RememberRegistry("staged");
        HWND box = Click();
        ExpectBox(box, kTitle, "Velnor for QRXがインストールされていません。", {IDOK}, "exclamation");
        EXPECT_EQ(0, ProgressPos(main));
        ASSERT_TRUE(Answer(box, IDOK));
        EXPECT_EQ(S(kReady), StatusText(main));
        EXPECT_EQ(0, ProgressPos(main));
        ExpectUntouched();
    }
}

TEST_F(Run, NoAtTheConfirmationChangesNothing)
{
    HWND confirm = Click();
    ASSERT_NE(nullptr, confirm);
    ASSERT_TRUE(Answer(confirm, IDNO));
    EXPECT_TRUE(WaitFor([&] { return StatusText(main) == S(kReady); }, kWait));
    EXPECT_EQ(0, ProgressPos(main));
    ExpectUntouched();
}

TEST_F(Run, ShiftAndCtrlWhileClickingForceTheFixedFolder)
{
    // The registration is gone and names another folder: forced mode needs neither.
    SetRegistration("DisplayName", "", true);
    SetRegistration("InstallDir", "C:\\Elsewhere\\");
    ASSERT_TRUE(Activate(main));
    ASSERT_TRUE(HoverControl(main, IDC_UNINSTALL));
    KeyDown(VK_SHIFT);
    KeyDown(VK_CONTROL);
    Sleep(100);
    ClickHere();
    HWND forced = tool.WaitBox(kWait);
    KeyUp(VK_CONTROL);
    KeyUp(VK_SHIFT);
    ExpectBox(forced, "CleanupVnQRX", "強制モードでのアンインストールを行います。", {IDOK}, "exclamation");
    ASSERT_TRUE(Answer(forced, IDOK));
    HWND confirm = tool.WaitBox(kWait);
    ASSERT_NE(nullptr, confirm);
    ASSERT_NO_FATAL_FAILURE(YesToCompletion(confirm));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kInstallDir));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StartMenuFolder().c_str()));
}

// Clicks Uninstall with one modifier held: the normal mode, so an absent registration
// ends the run with 103.
void ExpectNormalModeWithOnly(ToolProcess& tool, HWND main, WORD vk)
{
    SetRegistration("DisplayName", "", true);
    ASSERT_TRUE(Activate(main));
    ASSERT_TRUE(HoverControl(main, IDC_UNINSTALL));
    KeyDown(vk);
    Sleep(100);
    ClickHere();
    HWND box = tool.WaitBox(kWait);
    KeyUp(vk);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(S(kTitle), WindowText(box));
    EXPECT_EQ(S("Velnor for QRXがインストールされていません。"), BoxText(box));
    EXPECT_EQ("exclamation", IconOf(box));
    Answer(box, IDOK);
}

TEST_F(Run, ShiftAloneIsTheNormalMode) { ExpectNormalModeWithOnly(tool, main, VK_SHIFT); }

TEST_F(Run, CtrlAloneIsTheNormalMode) { ExpectNormalModeWithOnly(tool, main, VK_CONTROL); }

TEST_F(Run, NormalModeRemovesTheRegisteredFolderNotTheDefaultOne)
{
    // The files at the default folder (staged by the fixture) must stay; the registered
    // folder elsewhere goes, whether or not its value ends in a backslash.
    const FileTree defaultFolder = SnapshotFiles(kInstallDir);
    ASSERT_FALSE(defaultFolder.empty());
    for (const char* registered : {"C:\\Elsewhere\\Velnor QRX\\", "C:\\Elsewhere\\Velnor QRX"}) {
        SCOPED_TRACE(registered);
        std::string error;
        ASSERT_TRUE(StageInstallation(error, "C:\\Elsewhere\\Velnor QRX\\")) << error;
        SetRegistration("InstallDir", registered);
        HWND confirm = Click();
        ASSERT_NO_FATAL_FAILURE(YesToCompletion(confirm));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Elsewhere\\Velnor QRX"));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Elsewhere")) << "its parent stays";
        EXPECT_EQ(std::vector<std::string>{}, DiffFiles(defaultFolder, SnapshotFiles(kInstallDir)));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StartMenuFolder().c_str()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    }
    RemoveDirectoryA("C:\\Elsewhere");
}

TEST_F(Run, AnEmptyRegisteredFolderStillRemovesTheStartMenuAndTheRegistry)
{
    const FileTree defaultFolder = SnapshotFiles(kInstallDir);
    SetRegistration("InstallDir", "");
    HWND confirm = Click();
    ASSERT_NO_FATAL_FAILURE(YesToCompletion(confirm));
    EXPECT_EQ(std::vector<std::string>{}, DiffFiles(defaultFolder, SnapshotFiles(kInstallDir)))
        << "no folder is named, none is removed";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StartMenuFolder().c_str()));
    EXPECT_TRUE(DecoysIntact()) << Report();
    ExpectRegistryUninstalled();
}

TEST_F(Run, ADataFileHeldOpenIsReportedAndTheRegistryKept)
{
    const std::string dat = TempFolder() + "VnQRXReg.dat";
    HANDLE held = CreateFileA(dat.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HWND confirm = Click();
    ASSERT_TRUE(Answer(confirm, IDYES));
    HWND missing = tool.WaitBox(kWait);
    ExpectBox(missing, kTitle, "VnQRXReg.datが見つかりませんでした。", {IDOK}, "exclamation");
    int first = ProgressPos(main);
    EXPECT_GE(first, 60);
    Sleep(1500);
    int later = ProgressPos(main);
    EXPECT_GT(later, first) << "the registry timer ticks while the box is open";
    ASSERT_TRUE(Answer(missing, IDOK));
    EXPECT_EQ("", StatusText(main));
    int stopped = ProgressPos(main);
    Sleep(1000);
    EXPECT_EQ(stopped, ProgressPos(main));
    EXPECT_LT(stopped, 100);
    EXPECT_TRUE(tool.NoBoxFor(500)) << "no completion box";
    CloseHandle(held);
    std::vector<std::string> unexpected;
    for (const std::string& d : DiffFiles(stagedDrive, SnapshotDrive()))
        if (!IsDataFile(d) && !IsIn(d, kInstallDir) && !IsIn(d, StartMenuFolder()))
            unexpected.push_back(d);
    EXPECT_EQ(std::vector<std::string>{}, unexpected) << "nothing left beside the data file held open";
    EXPECT_EQ(std::vector<std::string>{}, [] {
        std::vector<std::string> reg;
        for (const std::string& d : RegistryDiffSince("staged"))
            reg.push_back(d);
        return reg;
    }()) << "the registry is untouched";
}

TEST_F(Run, AFileHeldOpenLeavesItsFolderAndSaysSo)
{
    const std::string busy = std::string(kInstallDir) + "Data\\phonebook.db";
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HWND confirm = Click();
    ASSERT_TRUE(Answer(confirm, IDYES));
    HWND left = tool.WaitBox(kWait);
    ASSERT_NE(nullptr, left);
    EXPECT_EQ(S(kTitle), WindowText(left));
    EXPECT_EQ(S("次のフォルダーを削除できませんでした。Velnor for QRXを終了してから、フォルダーを手動で削除してください。") +
                  "\n" + kInstallDir,
              BoxText(left));
    EXPECT_EQ("exclamation", IconOf(left));
    EXPECT_EQ(S("アンインストールは完了しましたが、削除できなかったフォルダーがあります。"), StatusText(main));
    EXPECT_EQ(100, ProgressPos(main));
    Answer(left, IDOK);
    CloseHandle(held);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(busy.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StartMenuFolder().c_str())) << "the other steps ran";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

const char kRefused[] = "次のフォルダーは、Velnor for QRX以外のファイルを含むおそれがあるため削除しませんでした。";

// A run with `folder` registered: the box names it alone, under the heading of refused
// folders (121), and on the drive only the Start-menu folder and the data file change.
void Run::ExpectFolderLeftAlone(const char* folder)
{
    SCOPED_TRACE(folder);
    std::string error;
    ASSERT_TRUE(StageInstallation(error)) << error;   // the registration comes back
    SetRegistration("InstallDir", folder);
    FileTree before = SnapshotDrive();
    HWND confirm = Click();
    ASSERT_TRUE(Answer(confirm, IDYES));
    HWND left = tool.WaitBox(kWait);
    ASSERT_NE(nullptr, left);
    EXPECT_EQ((FolderGroups{{S(kRefused), {folder}}}), GroupsOf(BoxText(left)));
    EXPECT_EQ("exclamation", IconOf(left));
    Answer(left, IDOK);
    std::vector<std::string> unexpected;
    for (const std::string& d : DiffFiles(before, SnapshotDrive()))
        if (!IsIn(d, StartMenuFolder()) && !IsDataFile(d))
            unexpected.push_back(d);
    EXPECT_EQ(std::vector<std::string>{}, unexpected);
}

TEST_F(Run, NeverRemovesADangerousRegisteredFolder)
{
    CreateDirectoryA("C:\\vnqrx\\bin\\Velnor for QRX", nullptr);   // where a relative path would land
    const char* folders[] = {"C:\\", "C:\\Program Files\\", "Velnor for QRX\\", "C:\\Program Files\\Velnor for QRX\\..\\",
                             "C:\\Program Files\\..\\Program Files\\Velnor for QRX\\..\\",
                             // what a 32-bit program on 64-bit Windows sees as its own folders
                             "C:\\Program Files (x86)\\", "C:\\windows\\syswow64\\", "C:\\windows\\system32\\"};
    for (const char* folder : folders)
        ExpectFolderLeftAlone(folder);
    RemoveDirectoryA("C:\\vnqrx\\bin\\Velnor for QRX");
}

// The real System32 as a 32-bit program on 64-bit Windows names it: inside the Windows
// folder, so the guard refuses it however it resolves.
TEST_F(Run, NeverRemovesSystem32ThroughSysnative)
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (!wow64)
        GTEST_SKIP() << "only a 32-bit program on 64-bit Windows has Sysnative";
    ExpectFolderLeftAlone("C:\\windows\\sysnative\\");
}

TEST_F(Run, ASecondClickStartsOver)
{
    HWND confirm = Click();
    ASSERT_TRUE(Answer(confirm, IDYES));
    HWND done = tool.WaitBox(kWait);
    ASSERT_TRUE(Answer(done, IDOK));
    ASSERT_EQ(100, ProgressPos(main));
    HWND again = Click();   // the registration is gone now
    ExpectBox(again, kTitle, "Velnor for QRXがインストールされていません。", {IDOK}, "exclamation");
    EXPECT_EQ(0, ProgressPos(main));
    Answer(again, IDOK);
    EXPECT_EQ(S(kReady), StatusText(main));
}

// On 64-bit Windows the shipping (32-bit) executable reads and deletes in the registry's
// 32-bit view, where a 32-bit installer put the suite's entries (HKLM\SOFTWARE lands in
// WOW6432Node). The 64-bit view must come out of a full run exactly as it was.
class Run64 : public Run {
protected:
    void SetUp() override
    {
        BOOL wow = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow);
        if (!wow)
            GTEST_SKIP() << "not a 32-bit process on 64-bit Windows: the registry has one view";
        // The same registration in the 64-bit view, as a 64-bit edition would leave it:
        // not the tool's to touch.
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
        for (const auto& [name, data] : {std::pair<const char*, std::string>{"DisplayName", "Velnor for QRX"},
                                         {"ProductVersionMajor", "10"},
                                         {"InstallDir", kInstallDir}})
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1));
        RegCloseKey(key);
        view64 = SnapshotFootprintTrees(KEY_WOW64_64KEY);
        Run::SetUp();
    }
    void TearDown() override
    {
        Run::TearDown();
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kProductKey, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halcyra\\ProductInfo", KEY_WOW64_64KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halcyra", KEY_WOW64_64KEY, 0);
    }
    static bool KeyIn(REGSAM view, const char* path)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    // Differences in the 64-bit view, leaving out its WOW6432Node branches: they are the
    // 32-bit view.
    std::vector<std::string> View64Diff() const
    {
        std::vector<std::string> out;
        for (const std::string& d : DiffFootprintTrees(view64, SnapshotFootprintTrees(KEY_WOW64_64KEY))) {
            std::string lower = d;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
            if (lower.find("\\wow6432node") == std::string::npos)
                out.push_back(Utf8(d));
        }
        return out;
    }
    std::vector<RegTree> view64;
};

TEST_F(Run64, AFullRunLeavesThe64BitViewAsItWas)
{
    EXPECT_TRUE(KeyIn(KEY_WOW64_32KEY, kProductKey)) << "staged in the 32-bit view";
    EXPECT_TRUE(KeyIn(KEY_WOW64_64KEY, kProductKey));
    const std::vector<std::string> staged = View64Diff();   // keys the two views share
    for (const std::string& d : staged)
        EXPECT_EQ(std::string::npos, d.find(": SOFTWARE\\Halcyra")) << "staged in the 64-bit view: " << d;
    HWND confirm = Click();
    ASSERT_NO_FATAL_FAILURE(YesToCompletion(confirm));
    ExpectUninstalled();
    std::vector<std::string> left;
    for (const std::string& d : View64Diff())
        if (!IsEmptyListedKey(Sjis(d)))
            left.push_back(d);
    EXPECT_EQ(std::vector<std::string>{}, left) << staged.size() << " differences after staging";
}

}  // namespace
