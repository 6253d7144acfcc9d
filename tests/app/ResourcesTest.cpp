// The executable's resources: string table, dialog templates, icon, version block,
// manifest. The expected texts are written here in UTF-8, independently of the .rc file.
#include "platform/afxwin.h"
#include "res/resource.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const struct {
    UINT id;
    const char* text;
} kStrings[] = {
    {101, "バージョン情報 CleanupVnQRX(&A)..."},
    {102, "本ツールをご使用になるには、「管理者権限」を持つユーザーでログオンする必要があります。"},
    {103, "Velnor for QRXがインストールされていません。"},
    {104, "Velnor for QRX"},
    {105, "VnQRXReg.dat"},
    {106, "VnQRXReg.datが見つかりませんでした。"},
    {107, "Velnor forQRXアンインストールツール"},
    {108, "アンインストールが完了しました。"},
    {109, "本ツールをご使用になるには、ユーザーアカウント制御（UAC）を有効にする必要があります。"},
    {110, "Velnor for QRXを起動している場合は終了させてください。Velnor for QRXをアンインストールしてよろしいですか？"},
    {111, "本ツールはお使いのOSではご使用になれません。"},
    {112, "システムを確認しています。"},
    {113, "ファイルを削除しています。"},
    {114, "スタートメニューを削除しています。"},
    {115, "レジストリを削除しています。"},
    {116, "Velnor for QRXのアンインストールが完了しました。"},
    {117, "Velnor for QRXのアンインストールを行うには\n「アンインストール」ボタンをクリックしてください。"},
    {118, "強制モードでのアンインストールを行います。"},
    {119, "次のフォルダーを削除できませんでした。Velnor for QRXを終了してから、フォルダーを手動で削除してください。"},
    {120, "アンインストールは完了しましたが、削除できなかったフォルダーがあります。"},
    {121, "次のフォルダーは、Velnor for QRX以外のファイルを含むおそれがあるため削除しませんでした。"},
};

TEST(StringTable, HoldsEveryTextByteForByteInCodePage932)
{
    for (const auto& s : kStrings) {
        SCOPED_TRACE(s.id);
        std::string loaded = AfxLoadString(s.id);
        EXPECT_EQ(Sjis(s.text), loaded) << Utf8(loaded);
    }
    EXPECT_EQ(std::string("Velnor for QRX"), AfxLoadString(104));   // compared with registry data as bytes
    const std::string ready = AfxLoadString(117);
    EXPECT_EQ(1, std::count(ready.begin(), ready.end(), '\n'));
    EXPECT_EQ("", AfxLoadString(100));
    EXPECT_EQ("", AfxLoadString(122));
}

TEST(StringTable, EveryEntryIsJapanese)
{
    for (UINT id = 101; id <= 121; ++id) {
        HRSRC block = FindResourceExA(nullptr, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(id / 16 + 1),
                                      MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        EXPECT_NE(nullptr, block) << id;
    }
}

// --- dialog templates -----------------------------------------------------------------

struct Reader {
    const BYTE* p;
    WORD Word() { WORD w; memcpy(&w, p, 2); p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, p, 4); p += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    std::wstring SzOrOrd()
    {
        WORD first = Word();
        if (first == 0)
            return L"";
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        std::wstring s(1, static_cast<wchar_t>(first));
        for (WORD c; (c = Word()) != 0;)
            s += static_cast<wchar_t>(c);
        return s;
    }
    void Align(const BYTE* base) { p = base + ((p - base + 3) & ~3); }
};

struct Item {
    DWORD exStyle, style;
    short x, y, cx, cy;
    int id;
    std::wstring cls, text;
};
struct Dialog {
    DWORD exStyle, style;
    short x, y, cx, cy;
    std::wstring caption, font;
    WORD points, weight;
    BYTE italic, charset;
    std::vector<Item> items;
};

Dialog LoadDialog(UINT id)
{
    HRSRC r = FindResourceExA(nullptr, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    EXPECT_NE(nullptr, r);
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
    Reader rd{base};
    Dialog d{};
    EXPECT_EQ(1, rd.Word());        // version of an extended template
    EXPECT_EQ(0xFFFF, rd.Word());   // signature
    rd.Dword();                     // help id
    d.exStyle = rd.Dword();
    d.style = rd.Dword();
    WORD count = rd.Word();
    d.x = rd.Short(); d.y = rd.Short(); d.cx = rd.Short(); d.cy = rd.Short();
    EXPECT_EQ(L"", rd.SzOrOrd());   // no menu
    EXPECT_EQ(L"", rd.SzOrOrd());   // no class of its own
    d.caption = rd.SzOrOrd();
    d.points = rd.Word(); d.weight = rd.Word();
    d.italic = *rd.p++; d.charset = *rd.p++;
    d.font = rd.SzOrOrd();
    for (WORD i = 0; i < count; ++i) {
        rd.Align(base);
        Item it{};
        rd.Dword();
        it.exStyle = rd.Dword();
        it.style = rd.Dword();
        it.x = rd.Short(); it.y = rd.Short(); it.cx = rd.Short(); it.cy = rd.Short();
        it.id = static_cast<int>(rd.Dword());
        it.cls = rd.SzOrOrd();
        // Class names are case-insensitive; windres stores them upper-cased, rc.exe as ordinals.
        if (it.cls == L"#128") it.cls = L"Button";
        if (it.cls == L"#130") it.cls = L"Static";
        CharUpperW(&it.cls[0]);
        it.text = rd.SzOrOrd();
        WORD extra = rd.Word();
        rd.p += extra;
        d.items.push_back(it);
    }
    return d;
}

std::wstring W(const char* utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &w[0], n);
    return w;
}

void ExpectItem(const Item& it, int id, const wchar_t* cls, const std::wstring& text, short x, short y, short cx,
                short cy, DWORD style)
{
    SCOPED_TRACE(testing::Message() << "control " << id << " at " << x << "," << y);
    EXPECT_EQ(id, static_cast<int>(static_cast<short>(it.id)));
    std::wstring upper(cls);
    CharUpperW(&upper[0]);
    EXPECT_EQ(upper, it.cls);
    EXPECT_EQ(text, it.text);
    EXPECT_EQ(x, it.x); EXPECT_EQ(y, it.y); EXPECT_EQ(cx, it.cx); EXPECT_EQ(cy, it.cy);
    EXPECT_EQ(style | WS_CHILD | WS_VISIBLE, it.style);
    EXPECT_EQ(0u, it.exStyle);
}

TEST(DialogTemplates, MainDialogIsLaidOutAsDesigned)
{
    Dialog d = LoadDialog(IDD_CLEANUP);
    EXPECT_EQ(DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), d.style);
    EXPECT_EQ(DWORD(WS_EX_APPWINDOW), d.exStyle);
    EXPECT_EQ(0, d.x); EXPECT_EQ(0, d.y); EXPECT_EQ(242, d.cx); EXPECT_EQ(62, d.cy);
    EXPECT_EQ(L"CleanupVnQRX", d.caption);
    EXPECT_EQ(L"MS UI Gothic", d.font);
    EXPECT_EQ(9, d.points); EXPECT_EQ(0, d.weight); EXPECT_EQ(0, d.italic); EXPECT_EQ(DEFAULT_CHARSET, d.charset);
    ASSERT_EQ(4u, d.items.size());
    ExpectItem(d.items[0], IDOK, L"Button", W("終了"), 184, 30, 50, 16, WS_TABSTOP | BS_DEFPUSHBUTTON);
    ExpectItem(d.items[1], IDC_UNINSTALL, L"Button", W("アンインストール"), 184, 7, 50, 16, WS_TABSTOP | BS_PUSHBUTTON);
    ExpectItem(d.items[2], IDC_PROGRESS, L"msctls_progress32", L"", 15, 31, 153, 15, WS_BORDER | PBS_SMOOTH);
    ExpectItem(d.items[3], IDC_STATUS, L"Static", W("スタティック"), 14, 10, 154, 18, WS_GROUP | SS_LEFT);
}

TEST(DialogTemplates, AboutBoxIsLaidOutAsDesigned)
{
    Dialog d = LoadDialog(IDD_ABOUT);
    EXPECT_EQ(DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), d.style);
    EXPECT_EQ(0u, d.exStyle);
    EXPECT_EQ(0, d.x); EXPECT_EQ(0, d.y); EXPECT_EQ(223, d.cx); EXPECT_EQ(58, d.cy);
    EXPECT_EQ(W("バージョン情報"), d.caption);
    EXPECT_EQ(L"MS UI Gothic", d.font);
    EXPECT_EQ(9, d.points); EXPECT_EQ(DEFAULT_CHARSET, d.charset);
    ASSERT_EQ(5u, d.items.size());
    ExpectItem(d.items[0], -1, L"Static", L"#128", 11, 17, 18, 21, SS_ICON);
    ExpectItem(d.items[1], -1, L"Static", L"CleanupVnQRX Version 1.0", 40, 10, 119, 8, WS_GROUP | SS_NOPREFIX);
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT), d.items[2].style);
    EXPECT_EQ(40, d.items[2].x); EXPECT_EQ(25, d.items[2].y); EXPECT_EQ(113, d.items[2].cx); EXPECT_EQ(8, d.items[2].cy);
    ExpectItem(d.items[3], IDOK, L"Button", L"OK", 161, 7, 50, 16, WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON);
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT), d.items[4].style);
    EXPECT_EQ(40, d.items[4].x); EXPECT_EQ(35, d.items[4].y); EXPECT_EQ(170, d.items[4].cx); EXPECT_EQ(8, d.items[4].cy);
}

// --- icon, version block, manifest ---------------------------------------------------------

TEST(Icon, GroupHoldsThreeTrueColourImages)
{
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_MAIN), MAKEINTRESOURCEA(14));   // RT_GROUP_ICON
    ASSERT_NE(nullptr, r);
    const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
    WORD count;
    memcpy(&count, p + 4, 2);
    ASSERT_EQ(3, count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* e = p + 6 + 14 * i;   // GRPICONDIRENTRY
        WORD bits;
        memcpy(&bits, e + 6, 2);
        EXPECT_EQ(32, bits);
        sizes.push_back(e[0] == 0 ? 256 : e[0]);
    }
    EXPECT_EQ((std::vector<int>{16, 32, 128}), sizes);
    EXPECT_NE(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN)));
}

std::string VersionString(const BYTE* block, const char* key)
{
    char path[128];
    wsprintfA(path, "\\StringFileInfo\\041103a4\\%s", key);
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, path, reinterpret_cast<void**>(&value), &length) || value == nullptr)
        return "<missing>";
    return value;
}

TEST(VersionBlock, DescribesTheTool)
{
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));   // RT_VERSION
    ASSERT_NE(nullptr, r);
    DWORD size = SizeofResource(nullptr, r);
    std::vector<BYTE> copy(size * 2);
    memcpy(copy.data(), LockResource(LoadResource(nullptr, r)), size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000002u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000002u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(0x4u, fixed->dwFileOS);
    EXPECT_EQ(0x1u, fixed->dwFileType);
    EXPECT_EQ("CleanupVnQRX.", VersionString(copy.data(), "FileDescription"));
    EXPECT_EQ("CleanupVnQRX.", VersionString(copy.data(), "ProductName"));
    EXPECT_EQ("CleanupVnQRX.exe", VersionString(copy.data(), "InternalName"));
    EXPECT_EQ("CleanupVnQRX.exe", VersionString(copy.data(), "OriginalFilename"));
    EXPECT_EQ("1.0.0.2", VersionString(copy.data(), "FileVersion"));
    EXPECT_EQ("1.0.0.2", VersionString(copy.data(), "ProductVersion"));
    EXPECT_NE("<missing>", VersionString(copy.data(), "CompanyName"));
    EXPECT_NE("<missing>", VersionString(copy.data(), "LegalCopyright"));
    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(MAKELONG(0x0411, 0x03A4), *translation);
}

TEST(Manifest, AsksForElevationAndCommonControls6)
{
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, r);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(nullptr, r))), SizeofResource(nullptr, r));
    EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\""));
    EXPECT_NE(std::string::npos, xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, xml.find("publicKeyToken=\"6595b64144ccf1df\" language=\"*\""));
    EXPECT_NE(std::string::npos, xml.find("level=\"requireAdministrator\" uiAccess=\"false\""));
    EXPECT_NE(std::string::npos, xml.find("version=\"1.0.0.0\""));
    EXPECT_NE(std::string::npos, xml.find("<description>CleanupVnQRX</description>"));
    size_t lf = std::count(xml.begin(), xml.end(), '\n');
    size_t crlf = 0;
    for (size_t i = xml.find("\r\n"); i != std::string::npos; i = xml.find("\r\n", i + 2))
        ++crlf;
    EXPECT_EQ(lf, crlf);
    EXPECT_GT(crlf, 5u);
}

}  // namespace
