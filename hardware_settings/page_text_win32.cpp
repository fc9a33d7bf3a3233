#include "hardware_settings/page_text_win32.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "platform/platform_win32.h"

void setItemText(HWND page, int id, const char* text) {
    wchar_t wide[256];
    toWide(text, wide, static_cast<int>(std::size(wide)));
    SetDlgItemTextW(page, id, wide);
}

void setItemFormatted(HWND page, int id, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    setItemText(page, id, text);
}

HWND createPageStatusBar(HWND page, int id) {
    return CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", page, static_cast<UINT>(id));
}

void setStatusText(HWND statusBar, const char* text) {
    if (statusBar == nullptr) return;
    wchar_t wide[256];
    toWide(text, wide, static_cast<int>(std::size(wide)));
    SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide));
}

// The sheet gives each page the size of its tab's display area only after the
// page has made its bar, so the bar, placed at the bottom when it was made,
// would lie below the page; on WM_SIZE a status bar lays itself out anew.
void placeStatusBar(HWND statusBar) {
    if (statusBar != nullptr) SendMessageW(statusBar, WM_SIZE, 0, 0);
}

void readItemText(HWND page, int id, int limit, char* text, int capacity) {
    wchar_t wide[256];
    if (limit > static_cast<int>(std::size(wide))) limit = static_cast<int>(std::size(wide));
    GetDlgItemTextW(page, id, wide, limit);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, capacity, nullptr, nullptr);
    if (length == 0) text[0] = '\0';
}
