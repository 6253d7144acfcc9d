// Drives the real executable from outside, as a user would: starts it, finds its
// windows, reads their texts, presses buttons, and gives real mouse and keyboard input.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

class ToolProcess {
public:
    ToolProcess() = default;
    ~ToolProcess();   // ends the process if it still runs
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Starts C:\vnqrx\bin\CleanupVnQRX.exe.
    bool Start();
    // Waits for the process to end; false on time-out.
    bool WaitExit(DWORD ms);
    bool Running() const;
    void Kill();

    // The main dialog (has the Uninstall button), or null after `ms`.
    HWND WaitMainWindow(DWORD ms) const;
    // A message box or other dialog of the process that is not the main dialog.
    HWND WaitBox(DWORD ms) const;
    // The same, but only when none appears within `ms`: true when none did.
    bool NoBoxFor(DWORD ms) const;
    // Every visible top-level window of the process.
    std::vector<HWND> Windows() const;

private:
    PROCESS_INFORMATION pi_ = {};
};

// Every visible top-level window of a process.
std::vector<HWND> WindowsOfProcess(DWORD pid);
// A message box or other dialog of the process (class #32770) that is not the tool's
// main dialog, or null after `ms`.
HWND WaitBoxOfProcess(DWORD pid, DWORD ms);

std::string WindowText(HWND hwnd);
std::string ClassOf(HWND hwnd);
// The message text of a message box (its longest static text).
std::string BoxText(HWND box);
// Texts of a dialog's static controls, in child order.
std::vector<std::string> StaticTexts(HWND dialog);
// Button identifiers of a dialog, in child order.
std::vector<int> ButtonIds(HWND dialog);
// Presses a button of `dialog` without waiting for what it starts.
void Press(HWND dialog, int id);
// Answers a message box and waits until it is gone.
bool Answer(HWND box, int id);
// The icon a message box shows, as a user sees it: the pixels of its icon control on
// the screen, matched against the system's icons drawn here. "exclamation",
// "information", "stop", "question", "none" (no icon control) or "unrecognised".
// Waits up to 5 s for the box to be painted.
std::string IconOf(HWND box);

// What a window shows on the screen now: its width, height and pixels (0x00RRGGBB, top
// row first).
struct ScreenImage {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    bool operator==(const ScreenImage& o) const
    {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};
ScreenImage ScreenPixels(HWND window);
// The same once it has stopped changing (two reads 200 ms apart agree), at most `ms`.
ScreenImage SettledScreenPixels(HWND window, DWORD ms);

int ProgressPos(HWND dialog);
std::pair<int, int> ProgressRange(HWND dialog);
std::string StatusText(HWND dialog);

// Real input through the system's input queue: keys down, a click in the middle of a
// control, keys up.
// Makes `window` the foreground window, so that keyboard input reaches its thread.
bool Activate(HWND window);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
bool ClickControl(HWND dialog, int id);
// Presses and releases one key.
void Tap(WORD vk);
// Opens the system menu of `window` (which must be the foreground window) with
// Alt+Space; its popup menu window (class #32768), or null after `ms`.
HWND OpenSystemMenu(HWND window, DWORD ms);
// The two halves of a click: the pointer to the middle of a control, then a click there.
bool HoverControl(HWND dialog, int id);
void ClickHere();
// The pointer to a point of the screen.
bool PointAt(int x, int y);

// Polls `condition` every 50 ms until it holds or `ms` have passed.
template <class F>
bool WaitFor(F condition, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        Sleep(50);
    }
}
