#include "Driver.h"

#include "res/resource.h"

#include <commctrl.h>

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

std::vector<HWND> ToolProcess::Windows() const
{
    WindowsOf ctx{pi_.dwProcessId, {}};
    EnumWindows(&CollectWindowOf, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

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

HWND ToolProcess::WaitBox(DWORD ms) const
{
    HWND box = nullptr;
    WaitFor(
        [&] {
            for (HWND h : Windows())
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
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
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

bool ClickControl(HWND dialog, int id)
{
    if (!HoverControl(dialog, id))
        return false;
    ClickHere();
    return true;
}
