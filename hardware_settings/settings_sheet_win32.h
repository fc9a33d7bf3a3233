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

// Sent by a page to itself from WM_INITDIALOG with its template's size in
// its own font (wParam width, lParam height, pixels), so that the sheet can
// make room for it once it has placed the page.
constexpr UINT fitPageMessage = WM_APP + 1;

// Posts fitPageMessage with the page's size as its template made it.
void askToFitPage(HWND page);

// The sheet sizes its tab area from the pages' templates in its own font,
// which may be smaller than the pages' own, and would cut off the foot of a
// page (its status bar over the last row of controls). This grows the sheet,
// its tab control and moves its buttons by what the page lacks, then makes
// the page fill the tab's page area.
void fitSheetToPage(HWND page, int width, int height);
