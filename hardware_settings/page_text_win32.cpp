#include "hardware_settings/page_text_win32.h"

#include <commctrl.h>
#include <prsht.h>

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

// PSN_APPLY comes only from the sheet's OK, which is hidden but stays the
// sheet's default button: Enter on a page presses it unless a push button
// has the focus or an offset edit, which takes Enter itself. There is nothing
// to apply, since every button changes the device at once, so the refusal
// keeps the sheet open; it closes through 閉じる (IDCANCEL, as Esc and the
// close box), which sends no PSN_APPLY. Refusing the notification is the
// sheet's own contract for staying open, the same on every Windows, where
// disabling the hidden OK or catching its command would lean on how the
// dialog manager treats a default button. A dialog procedure answers a
// notification through DWLP_MSGRESULT, so it is set for PSN_SETACTIVE too,
// where anything but 0 would ask for another page.
INT_PTR answerPageNotify(HWND page, const NMHDR* header, HWND statusBar) {
    LONG_PTR result;
    switch (header->code) {
    case static_cast<UINT>(PSN_SETACTIVE): setStatusText(statusBar, ""); result = 0; break;
    case static_cast<UINT>(PSN_APPLY):     result = PSNRET_INVALID_NOCHANGEPAGE; break;
    default:                               return FALSE;
    }
    SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
    return TRUE;
}

void readItemText(HWND page, int id, int limit, char* text, int capacity) {
    wchar_t wide[256];
    if (limit > static_cast<int>(std::size(wide))) limit = static_cast<int>(std::size(wide));
    GetDlgItemTextW(page, id, wide, limit);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, capacity, nullptr, nullptr);
    if (length == 0) text[0] = '\0';
}
