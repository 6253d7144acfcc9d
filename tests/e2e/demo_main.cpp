// vnqrx_demo: one full normal uninstall run of the real executable, driven as a user
// would, with a screenshot at each stage (BMP files in the folder given).
//   vnqrx_demo C:\vnqrx\shots
#include "Driver.h"

#include "res/resource.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Saves the part of the screen that `windows` cover, with a margin, as a 24-bit BMP.
bool SaveShot(const std::string& path, std::vector<HWND> windows)
{
    RECT area = {0, 0, 0, 0};
    for (HWND w : windows) {
        RECT r;
        if (w && GetWindowRect(w, &r))
            UnionRect(&area, &area, &r);
    }
    InflateRect(&area, 24, 24);
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screenDc = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screenDc);
    HBITMAP bmp = CreateCompatibleBitmap(screenDc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screenDc, area.left, area.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {sizeof bi, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screenDc);
    BITMAPFILEHEADER bf = {0x4D42, static_cast<DWORD>(sizeof bf + sizeof bi + pixels.size()), 0, 0,
                           static_cast<DWORD>(sizeof bf + sizeof bi)};
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(&bf, sizeof bf, 1, f);
    std::fwrite(&bi, sizeof bi, 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    return true;
}

int CALLBACK FoundFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Wine draws the caption buttons with the Marlett symbol font; without it the pictures
// would show letters where Windows shows the buttons.
bool HasMarlett()
{
    LOGFONTA lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyA(lf.lfFaceName, "Marlett");
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "vnqrx_demo: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Fail("usage: vnqrx_demo SHOT-FOLDER");
    const std::string shots = std::string(argv[1]) + "\\";
    if (!HasMarlett())
        return Fail("no Marlett font in this prefix: the caption buttons would be drawn as letters");
    CreateDirectoryA(argv[1], nullptr);
    ToolProcess tool;
    if (!tool.Start())
        return Fail("cannot start CleanupVnQRX.exe");
    HWND main = tool.WaitMainWindow(20000);
    if (!main)
        return Fail("no dialog");
    Sleep(500);
    SaveShot(shots + "1-dialog.bmp", {main});
    std::printf("dialog open\n");

    Press(main, IDC_UNINSTALL);
    HWND confirm = tool.WaitBox(20000);
    if (!confirm)
        return Fail("no confirmation");
    Sleep(500);
    SaveShot(shots + "2-confirm.bmp", {main, confirm});
    std::printf("confirmation shown, answering Yes\n");
    Answer(confirm, IDYES);

    HWND done = tool.WaitBox(60000);
    if (!done)
        return Fail("no completion box");
    Sleep(500);
    SaveShot(shots + "3-complete.bmp", {main, done});
    std::printf("completion box shown\n");
    Answer(done, IDOK);
    Sleep(500);
    SaveShot(shots + "4-final.bmp", {main});
    std::printf("final state: progress %d\n", ProgressPos(main));
    Press(main, IDOK);
    if (!tool.WaitExit(20000))
        return Fail("the tool did not end");
    return 0;
}
