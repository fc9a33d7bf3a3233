// Uses Gestalyx.exe from outside, the way a person would: starts it with an
// argument in a working directory, finds its windows, reads message boxes and
// control states, presses buttons, and collects the exit status.
#pragma once

#include <string>

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

// Waits for a message box of the program and reads its title and text.
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

// Esc on the window's focus, the close box of the window.
void pressEscape(HWND window);
void pressCloseBox(HWND window);

// Waits for the program to end; returns 1 with its exit status, or 0 after the
// time-out (the program is then ended, so no test leaves one behind).
int waitForExit(DrivenProgram& program, DWORD& exitStatus, int timeoutMs);

std::wstring directoryOfThisProgram();
std::wstring utf8ToWide(const char* text);
std::string wideToUtf8(const std::wstring& text);
