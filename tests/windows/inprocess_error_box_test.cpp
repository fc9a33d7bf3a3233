// The guarded error box, in process: a report made while a box is open (here
// from a timer that the box's own message loop dispatches) shows nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/error_report.h"

namespace {

struct OpenBoxes {
    int count = 0;
    HWND first = nullptr;
};

BOOL CALLBACK countBox(HWND window, LPARAM parameter) {
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    auto* boxes = reinterpret_cast<OpenBoxes*>(parameter);
    if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window)) {
        if (boxes->count++ == 0) boxes->first = window;
    }
    return TRUE;
}

OpenBoxes openBoxes() {
    OpenBoxes boxes;
    EnumThreadWindows(GetCurrentThreadId(), countBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

int boxesSeenByTimer = -1;
bool secondReportReturned = false;

void CALLBACK reportAgainWhileOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    if (openBoxes().count == 0) return;  // the first box is not up yet
    KillTimer(nullptr, timer);
    reportError("second report");  // must return at once, without a box
    secondReportReturned = true;
    OpenBoxes boxes = openBoxes();
    boxesSeenByTimer = boxes.count;
    PostMessageW(boxes.first, WM_COMMAND, IDOK, 0);
}

TEST(ErrorBox, SecondReportWhileOpenShowsNothingAndGuardClearsAfterwards) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        boxesSeenByTimer = -1;
        secondReportReturned = false;
        SetTimer(nullptr, 0, 100, reportAgainWhileOpen);
        reportError("first report");
        EXPECT_TRUE(secondReportReturned);
        EXPECT_EQ(boxesSeenByTimer, 1);
        EXPECT_EQ(openBoxes().count, 0);
    }
}

}  // namespace
