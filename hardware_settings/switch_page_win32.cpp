#include "hardware_settings/switch_page_win32.h"

#include <cstdio>

#include "device/node_protocol.h"
#include "hardware_settings/hardware_settings.h"
#include "hardware_settings/page_text_win32.h"
#include "hardware_settings/settings_resource.h"
#include "hardware_settings/settings_sheet_win32.h"

HWND switchStatusBar;

namespace {

constexpr const char* sendFailedFormat = "%s マリオネクスに情報を書き込めませんでした。";
char statusMessage[256];

void initPage(HWND page) {
    CheckRadioButton(page, IDC_BUILT_IN_UNIT, IDC_EXTERNAL_UNIT,
                     switchSource != 0 ? IDC_EXTERNAL_UNIT : IDC_BUILT_IN_UNIT);
    switchStatusBar = createPageStatusBar(page, IDC_SWITCH_STATUS);
}

// A radio click only makes 設定・書込 available when the choice differs.
INT_PTR onCommand(HWND page, int id) {
    HWND send = GetDlgItem(page, IDC_SEND_SOURCE);
    switch (id) {
    case IDC_BUILT_IN_UNIT: EnableWindow(send, switchSource != 0); return TRUE;
    case IDC_EXTERNAL_UNIT: EnableWindow(send, switchSource == 0); return TRUE;
    case IDC_SEND_SOURCE:   applySwitchSource(page); return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK switchPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: initPage(page); askToFitPage(page); return TRUE;
    case fitPageMessage: fitSheetToPage(page, static_cast<int>(wParam), static_cast<int>(lParam)); return TRUE;
    case WM_DESTROY:    return TRUE;
    case WM_SIZE:       placeStatusBar(switchStatusBar); return TRUE;
    case WM_NOTIFY:     return answerPageNotify(page, reinterpret_cast<const NMHDR*>(lParam), switchStatusBar);
    case WM_COMMAND:    return onCommand(page, LOWORD(wParam));
    }
    return FALSE;
}

void applySwitchSource(HWND page) {
    int choice;
    if (IsDlgButtonChecked(page, IDC_BUILT_IN_UNIT) == BST_CHECKED) choice = 0;
    else if (IsDlgButtonChecked(page, IDC_EXTERNAL_UNIT) == BST_CHECKED) choice = 1;
    else return;
    if (choice == switchSource) return;
    if (!setSwitchSource(static_cast<std::uint8_t>(choice))) {
        std::snprintf(statusMessage, sizeof statusMessage, sendFailedFormat, formatTimeOfDay());
        setStatusText(switchStatusBar, statusMessage);
        return;
    }
    switchSource = choice;
    EnableWindow(GetDlgItem(page, IDC_SEND_SOURCE), FALSE);
}
