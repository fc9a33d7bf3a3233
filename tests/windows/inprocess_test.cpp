// The Windows edge in process, where a window's state can be read back that
// another process cannot read under Wine.
#include "platform/error_report.h"
#include "platform/platform_win32.h"
#include "settings/hardware_settings.h"
#include "settings/settings_sheet_win32.h"
#include "tests/windows/support.h"

namespace {

// A report made while a box is open (here from a timer that the box's own
// message loop dispatches) shows nothing; the guard clears once it is closed.
TEST(ErrorBox, SecondReportWhileOneIsOpenShowsNothing) {
    static bool reportedAgain;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        reportedAgain = false;
        EXPECT_EQ(errorBoxesShownBy([] {
            SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
                KillTimer(nullptr, timer);
                reportError("second report");
                reportedAgain = true;
            });
            reportError("first report");
        }), std::vector<std::string>{"first report"});
        EXPECT_TRUE(reportedAgain);
    }
}

// One button, 閉じる (no OK, no Apply, no help button), and the program's icon.
TEST(SettingsSheet, InTheSettingsModeOneButtonAndTheProgramsIcon) {
    appInstance = GetModuleHandleW(nullptr);
    settingsMode = 1;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        HWND sheet = waitForSheet(DrivenProgram{{nullptr, nullptr, GetCurrentProcessId(), 0}});
        EXPECT_NE(SendMessageW(sheet, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_FALSE(isVisible(sheet, IDOK) || isVisible(sheet, 0x3021)) << "OK or Apply shown";
        EXPECT_EQ(controlText(sheet, IDCANCEL), L"閉じる");
        EXPECT_EQ(GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(runSettingsSheet(), 1);
    settingsMode = 0;
}

}  // namespace
