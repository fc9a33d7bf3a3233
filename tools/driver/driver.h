// Uses Gestalyx.exe from outside, the way a person would: starts it with an
// argument in a working directory, finds its windows, reads message boxes and
// control states, presses buttons, and collects the exit status.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

struct DrivenProgram {
    PROCESS_INFORMATION process{};
};

// Starts `exePath` with `argument` in `workingDirectory`. Returns 1 on success.
int startProgram(DrivenProgram& program, const std::wstring& exePath, const std::wstring& argument,
                 const std::wstring& workingDirectory);

// The program's visible top-level window of the class, or null.
HWND findWindow(const DrivenProgram& program, const wchar_t* className);

// The program's visible top-level window of the class, or null after the time-out.
HWND waitForWindow(const DrivenProgram& program, const wchar_t* className, int timeoutMs);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring title, text;
};

// Waits for a message box of the program (a dialog titled "Gestalyx") and
// reads its title and text.
int waitForMessageBox(const DrivenProgram& program, MessageBoxSeen& seen, int timeoutMs);

// Presses a button by clicking it, as a person would; a hidden or disabled
// button cannot be pressed and gives 0.
int pressButton(HWND dialog, int id);

int isEnabled(HWND dialog, int id);
int isVisible(HWND dialog, int id);
int isChecked(HWND dialog, int id);
std::wstring controlText(HWND dialog, int id);

// Waits until the control is enabled; returns 0 after the time-out.
int waitUntilEnabled(HWND dialog, int id, int timeoutMs);

// Waits until start-up has set the capture window's controls: the window
// shows before 実行 is disabled for the node check. Returns 0 after the time-out.
int waitUntilStarted(HWND captureWindow, int timeoutMs);

// Clicks the button and returns when the program has handled the click, so
// that whatever the button does (serial exchanges included) is over. 0 when
// the button is hidden or disabled.
int clickButton(HWND dialog, int id);

// Replaces the control's text, as typing it would.
void typeText(HWND dialog, int id, const std::wstring& text);

// The items of a combo box, and a choice of one as the user makes it: the
// owner hears CBN_SELCHANGE. selectComboItem returns when that is handled.
std::vector<std::wstring> comboItems(HWND dialog, int id);
int selectComboItem(HWND dialog, int id, int index);

// A click on the up (SB_LINEUP) or down (SB_LINEDOWN) arrow of a scroll bar,
// as its owner hears it; returns when handled.
void clickScrollArrow(HWND dialog, int id, int code);

// The text of the window's status bar, empty when it has none.
std::wstring statusBarText(HWND window);

// 1 when the window has a status bar that is visible, lies wholly inside the
// window's client area and covers none of the window's other controls.
int statusBarInside(HWND window);

// The window with the keyboard focus in the thread that owns `window`.
HWND focusedWindow(HWND window);

// A property sheet's page shown now, and the page with that tab index shown
// as a click on its tab would; null when there is none.
HWND currentSheetPage(HWND sheet);
HWND selectSheetPage(HWND sheet, int index);

// The settings sheet of the settings mode, or null when a message box or the
// program's end comes first or after 20 s.
HWND waitForSheet(const DrivenProgram& program);

// The monitor window ("Gestalyx モニタ"), or null when the program ends
// first or after the time-out.
HWND waitForMonitorWindow(const DrivenProgram& program, int timeoutMs);

// Esc on the window's focus, the close box of the window.
void pressEscape(HWND window);
void pressCloseBox(HWND window);

// The control takes the focus as tabbing to it would, then the key goes down
// and up on it, posted as the keyboard posts them: through the message loop
// and its dialog manager. Returns before the program has handled the key.
void pressKey(HWND dialog, int id, UINT key);

// Waits for the program to end; returns 1 with its exit status, or 0 after the
// time-out (the program is then ended, so no test leaves one behind).
int waitForExit(DrivenProgram& program, DWORD& exitStatus, int timeoutMs);

std::wstring directoryOfThisProgram();
std::wstring utf8ToWide(const char* text);
std::string wideToUtf8(const std::wstring& text);
