#include "hardware_settings/settings_sheet_win32.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstddef>
#include <iterator>

#include "platform/platform_win32.h"
#include "hardware_settings/calibration_page_win32.h"
#include "hardware_settings/hardware_settings.h"
#include "hardware_settings/switch_page_win32.h"

// The header record here is the form that ends with the watermark and
// header-bitmap members, and its size says so.
static_assert(offsetof(PROPSHEETHEADERW, hbmHeader) + sizeof(HBITMAP) == sizeof(PROPSHEETHEADERW));

int runSettingsSheet() {
    // The page records in their form without the activation context; with no
    // flags the tab titles come from the templates' captions.
    PROPSHEETPAGEW_V2 pages[2]{};
    const struct {
        const wchar_t* templateName;
        DLGPROC procedure;
    } pageTable[] = {{L"DialogSub0", calibrationPageProc}, {L"DialogSub1", switchPageProc}};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW_V2);
        pages[i].dwFlags = 0;
        pages[i].hInstance = appInstance;
        pages[i].pszTemplate = pageTable[i].templateName;
        pages[i].pfnDlgProc = pageTable[i].procedure;
    }
    wchar_t caption[32];
    toWide("ハードウェア設定", caption, static_cast<int>(std::size(caption)));
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(PROPSHEETHEADERW);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = captureWindow;
    header.hInstance = appInstance;
    header.pszCaption = caption;
    header.nPages = 2;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(pages);
    header.pfnCallback = settingsSheetCallback;
    return PropertySheetW(&header) == -1 ? 0 : 1;
}

int CALLBACK settingsSheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message != PSCB_INITIALIZED) return 0;
    if (settingsMode != 0)
        SendMessageW(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconW(appInstance, L"IconMain")));
    SetWindowLongPtrW(sheet, GWL_EXSTYLE, GetWindowLongPtrW(sheet, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
    ShowWindow(GetDlgItem(sheet, IDOK), SW_HIDE);
    wchar_t close[16];
    toWide("閉じる", close, static_cast<int>(std::size(close)));
    SetDlgItemTextW(sheet, IDCANCEL, close);
    return 0;
}

void askToFitPage(HWND page) {
    RECT client;
    GetClientRect(page, &client);
    PostMessageW(page, fitPageMessage, static_cast<WPARAM>(client.right), static_cast<LPARAM>(client.bottom));
}

void fitSheetToPage(HWND page, int width, int height) {
    HWND sheet = GetParent(page);
    HWND tab = PropSheet_GetTabControl(sheet);
    if (sheet == nullptr || tab == nullptr) return;
    RECT area;
    GetWindowRect(tab, &area);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&area), 2);
    RECT pageArea = area;
    TabCtrl_AdjustRect(tab, FALSE, &pageArea);
    int wider = width - (pageArea.right - pageArea.left), taller = height - (pageArea.bottom - pageArea.top);
    wider = wider > 0 ? wider : 0;
    taller = taller > 0 ? taller : 0;
    if (wider > 0 || taller > 0) {
        RECT frame;
        GetWindowRect(sheet, &frame);
        SetWindowPos(sheet, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top + taller,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(tab, nullptr, 0, 0, area.right - area.left + wider, area.bottom - area.top + taller,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // OK, 閉じる, Apply and Help stand along the bottom right.
        for (int id : {IDOK, IDCANCEL, 0x3021, IDHELP}) {
            HWND button = GetDlgItem(sheet, id);
            if (button == nullptr) continue;
            RECT place;
            GetWindowRect(button, &place);
            MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&place), 2);
            SetWindowPos(button, nullptr, place.left + wider, place.top + taller, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        pageArea.right += wider;
        pageArea.bottom += taller;
    }
    SetWindowPos(page, nullptr, pageArea.left, pageArea.top, pageArea.right - pageArea.left,
                 pageArea.bottom - pageArea.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
