// Text on the settings pages: UTF-8 from the program's own logic, shown
// through the wide-character API, and the status bar at the foot of a page.
#pragma once

#include <windows.h>

void setItemText(HWND page, int id, const char* text);

// printf-style into a control of the page.
[[gnu::format(printf, 3, 4)]] void setItemFormatted(HWND page, int id, const char* format, ...);

// The page's status bar, empty, at the bottom of the page; null if it
// cannot be created.
HWND createPageStatusBar(HWND page, int id);

// Sets the status bar's text; a null status bar drops it.
void setStatusText(HWND statusBar, const char* text);

// Puts the status bar back at the bottom of its page, whose size has changed.
void placeStatusBar(HWND statusBar);

// The notifications both pages answer alike, given the page's status bar:
// becoming active clears the status text, and the sheet's OK is refused.
// Other notifications are left (FALSE).
INT_PTR answerPageNotify(HWND page, const NMHDR* header, HWND statusBar);

// The control's text read as the API gives it into `limit` characters (so at
// most limit - 1), in UTF-8.
void readItemText(HWND page, int id, int limit, char* text, int capacity);
