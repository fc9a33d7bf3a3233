// The settings sheet's callback, in process, where the window's icon can be
// read back: on PSCB_INITIALIZED it sets the program's icon (in the settings
// mode only), drops the help button, hides OK and names Cancel 閉じる; any
// other message changes nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <prsht.h>

#include "platform/platform_win32.h"
#include "settings/hardware_settings.h"
#include "settings/settings_sheet_win32.h"

namespace {

INT_PTR CALLBACK plainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring textOf(HWND window, int id) {
    wchar_t text[32] = L"";
    GetDlgItemTextW(window, id, text, 32);
    return text;
}

TEST(SettingsSheet, CallbackShapesTheSheetOnceInitialized) {
    appInstance = GetModuleHandleW(nullptr);
    const struct {
        int settingsMode;
        UINT message;
        bool icon;
        bool okVisible;
        const wchar_t* cancel;
        bool help;
    } cases[] = {
        {1, PSCB_INITIALIZED, true, false, L"閉じる", false},
        {0, PSCB_INITIALIZED, false, false, L"閉じる", false},
        {1, PSCB_PRECREATE, false, true, L"キャンセル", true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << row.settingsMode << " " << row.message);
        // A dialog with OK and キャンセル stands in for the sheet.
        HWND sheet = CreateDialogParamW(appInstance, L"DialogDemo", nullptr, plainDialogProc, 0);
        ASSERT_NE(sheet, nullptr);
        SetWindowLongPtrW(sheet, GWL_EXSTYLE, GetWindowLongPtrW(sheet, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
        settingsMode = row.settingsMode;
        EXPECT_EQ(settingsSheetCallback(sheet, row.message, 0), 0);
        EXPECT_EQ(SendMessageW(sheet, WM_GETICON, ICON_BIG, 0) != 0, row.icon);
        EXPECT_EQ(IsWindowVisible(GetDlgItem(sheet, IDOK)) != 0, row.okVisible);
        EXPECT_EQ(textOf(sheet, IDCANCEL), row.cancel);
        EXPECT_EQ((GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0, row.help);
        DestroyWindow(sheet);
    }
    settingsMode = 0;
}

}  // namespace
