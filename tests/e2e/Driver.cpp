#include "Driver.h"

#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>

ToolProcess::~ToolProcess() { Kill(); }

bool ToolProcess::Start()
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    char cmd[] = "C:\\vnqrx\\bin\\CleanupVnQRX.exe";
    if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, "C:\\vnqrx\\bin", &si, &pi_))
        return false;
    WaitForInputIdle(pi_.hProcess, 10000);
    return true;
}

bool ToolProcess::WaitExit(DWORD ms) { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }

bool ToolProcess::Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

void ToolProcess::Kill()
{
    if (pi_.hProcess) {
        if (Running()) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    pi_ = {};
}

namespace {

struct WindowsOf {
    DWORD pid;
    std::vector<HWND> found;
};

// An enumeration callback is called with the system's calling convention (stdcall in
// a 32-bit program), which a lambda does not have.
BOOL CALLBACK CollectWindowOf(HWND hwnd, LPARAM lp)
{
    auto* c = reinterpret_cast<WindowsOf*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == c->pid && IsWindowVisible(hwnd))
        c->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD pid)
{
    WindowsOf ctx{pid, {}};
    EnumWindows(&CollectWindowOf, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

std::vector<HWND> ToolProcess::Windows() const { return WindowsOfProcess(pi_.dwProcessId); }

HWND ToolProcess::WaitMainWindow(DWORD ms) const
{
    HWND main = nullptr;
    WaitFor(
        [&] {
            for (HWND h : Windows())
                if (GetDlgItem(h, IDC_UNINSTALL) != nullptr)
                    return (main = h) != nullptr;
            return false;
        },
        ms);
    return main;
}

HWND ToolProcess::WaitBox(DWORD ms) const { return WaitBoxOfProcess(pi_.dwProcessId, ms); }

HWND WaitBoxOfProcess(DWORD pid, DWORD ms)
{
    HWND box = nullptr;
    WaitFor(
        [&] {
            for (HWND h : WindowsOfProcess(pid))
                if (ClassOf(h) == "#32770" && GetDlgItem(h, IDC_UNINSTALL) == nullptr)
                    return (box = h) != nullptr;
            return false;
        },
        ms);
    return box;
}

bool ToolProcess::NoBoxFor(DWORD ms) const { return WaitBox(ms) == nullptr; }

std::string WindowText(HWND hwnd)
{
    char buffer[4096] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &got);
    return std::string(buffer, got);
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string BoxText(HWND box)
{
    std::string best;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(c).c_str(), "Static") != 0)
            continue;
        std::string t = WindowText(c);
        if (t.size() > best.size())
            best = t;
    }
    return best;
}

std::vector<std::string> StaticTexts(HWND dialog)
{
    std::vector<std::string> texts;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (_stricmp(ClassOf(c).c_str(), "Static") == 0)
            texts.push_back(WindowText(c));
    return texts;
}

std::vector<int> ButtonIds(HWND dialog)
{
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (_stricmp(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c))
            ids.push_back(GetDlgCtrlID(c));
    return ids;
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Answer(HWND box, int id)
{
    Press(box, id);
    return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000);
}

int ProgressPos(HWND dialog)
{
    DWORD_PTR pos = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &pos);
    return static_cast<int>(pos);
}

std::pair<int, int> ProgressRange(HWND dialog)
{
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    DWORD_PTR low = 0, high = 0;
    SendMessageTimeoutA(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &low);
    SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &high);
    return {static_cast<int>(low), static_cast<int>(high)};
}

namespace {

// A 32-bit top-down bitmap selected into a memory device context, for the duration of
// one comparison.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    void Fill(DWORD colour) { std::fill(bits_, bits_ + static_cast<size_t>(width_) * height_, colour); }
    // The pixels as 0x00RRGGBB, whatever GDI left in the unused byte.
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        std::vector<DWORD> out(bits_, bits_ + static_cast<size_t>(width_) * height_);
        for (DWORD& px : out)
            px &= 0xFFFFFF;
        return out;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// `icon` drawn over a uniform background, at `width` x `height`, the way a static icon
// control draws it.
std::vector<DWORD> DrawnIcon(HICON icon, int width, int height, DWORD background)
{
    Canvas canvas(width, height);
    canvas.Fill(background);
    DrawIconEx(canvas.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    return canvas.Pixels();
}

}  // namespace

ScreenImage ScreenPixels(HWND window)
{
    ScreenImage image;
    RECT rc;
    if (!GetClientRect(window, &rc) || rc.right <= 0 || rc.bottom <= 0)
        return image;
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    image.width = rc.right;
    image.height = rc.bottom;
    Canvas canvas(image.width, image.height);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, image.width, image.height, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    image.pixels = canvas.Pixels();
    return image;
}

ScreenImage SettledScreenPixels(HWND window, DWORD ms)
{
    ScreenImage last = ScreenPixels(window);
    WaitFor(
        [&] {
            Sleep(200);
            ScreenImage now = ScreenPixels(window);
            bool same = now == last;
            last = now;
            return same;
        },
        ms);
    return last;
}

std::string IconOf(HWND box)
{
    HWND control = nullptr;
    for (HWND c = GetWindow(box, GW_CHILD); c && !control; c = GetWindow(c, GW_HWNDNEXT))
        if (_stricmp(ClassOf(c).c_str(), "Static") == 0 && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(c))
            control = c;
    if (!control)
        return "none";
    const struct {
        const char* name;
        LPCSTR id;
    } known[] = {{"exclamation", IDI_EXCLAMATION}, {"information", IDI_ASTERISK}, {"stop", IDI_HAND}, {"question", IDI_QUESTION}};
    std::string found = "unrecognised";
    WaitFor(
        [&] {
            ScreenImage shown = ScreenPixels(control);
            if (shown.pixels.empty())
                return false;
            // The icons' corners are transparent: the first pixel is the background.
            size_t best = 0;
            for (const auto& k : known) {
                std::vector<DWORD> drawn = DrawnIcon(LoadIconA(nullptr, k.id), shown.width, shown.height, shown.pixels[0]);
                size_t same = 0;
                for (size_t i = 0; i < drawn.size(); ++i)
                    same += drawn[i] == shown.pixels[i] ? 1 : 0;
                if (same > best && same * 10 >= drawn.size() * 9) {
                    best = same;
                    found = k.name;
                }
            }
            return best > 0;
        },
        5000);
    return found;
}

std::string StatusText(HWND dialog) { return WindowText(GetDlgItem(dialog, IDC_STATUS)); }

static void SendKey(WORD vk, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

bool Activate(HWND window)
{
    SetForegroundWindow(window);
    bool ok = WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
    Sleep(200);
    return ok;
}

void KeyDown(WORD vk) { SendKey(vk, 0); }
void KeyUp(WORD vk) { SendKey(vk, KEYEVENTF_KEYUP); }

// Under Wine's X11 driver, the pointer entering a window makes Wine resynchronise its
// key state with the X server's (where no key is down), releasing keys given through
// SendInput. So the pointer is moved first, and the keys go down once it rests there.
bool HoverControl(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    RECT rc;
    if (!control || !GetWindowRect(control, &rc))
        return false;
    return PointAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

bool PointAt(int x, int y)
{
    int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = x * 65535 / cx;
    in.mi.dy = y * 65535 / cy;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    Sleep(300);
    return true;
}

void ClickHere()
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

void Tap(WORD vk)
{
    KeyDown(vk);
    KeyUp(vk);
}

HWND OpenSystemMenu(HWND window, DWORD ms)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    KeyDown(VK_MENU);
    Tap(VK_SPACE);
    KeyUp(VK_MENU);
    HWND popup = nullptr;
    WaitFor(
        [&] {
            for (HWND h : WindowsOfProcess(pid))
                if (ClassOf(h) == "#32768")
                    return (popup = h) != nullptr;
            return false;
        },
        ms);
    return popup;
}

bool ClickControl(HWND dialog, int id)
{
    if (!HoverControl(dialog, id))
        return false;
    ClickHere();
    return true;
}
