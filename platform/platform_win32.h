// The Windows side of the program's edge: the handles every window needs and
// the conversion that brings UTF-8 text to the wide-character API.
#pragma once

#include <windows.h>

extern HINSTANCE appInstance;
extern HWND captureWindow;  // owner of every message box; null until the capture window exists

// Converts UTF-8 text into `wide` (always NUL-terminated, cut at `capacity`).
void toWide(const char* text, wchar_t* wide, int capacity);
