// The modal property sheet "ハードウェア設定" with the calibration page and
// the switch/LED page. Its one button, 閉じる, closes it; every change has
// already reached the device when its page button was pressed.
#pragma once

#include <windows.h>

// Shows the sheet and returns when it is closed: 1, or 0 when it cannot be
// created.
int runSettingsSheet();

// On PSCB_INITIALIZED: the program's icon, no help button, OK hidden and
// Cancel reading 閉じる. Always returns 0.
int CALLBACK settingsSheetCallback(HWND sheet, UINT message, LPARAM lParam);
