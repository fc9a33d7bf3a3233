// The switch and LED page (page 1 of the settings sheet): the doll's built-in
// or external switch/LED unit, sent to the doll only by 設定・書込 and only
// when the choice differs from `switchSource`.
#pragma once

#include <windows.h>

extern HWND switchStatusBar;  // null until the page exists; texts are dropped while null

INT_PTR CALLBACK switchPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

void applySwitchSource(HWND page);
