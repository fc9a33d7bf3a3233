// Start-up and the capture window used as a person would: the argument, the settings file, the node check,
// the part check boxes and bulk buttons, the sample-pose dialog, 実行, leaving; the error box in process.
#include "tests/windows/support.h"

#include <commctrl.h>

#include "app/resource.h"
#include "platform/error_report.h"

namespace {

// A report made while a box is open (here from a timer that the box's own message loop dispatches)
// shows nothing. That the guard clears once the box is closed shows natively, where tests share a process.
TEST(ErrorBox, SecondReportWhileOneIsOpenShowsNothing) {
    static bool reportedAgain = false;
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

// A start opens the capture window, which ends with 1 and writes nothing however it is left,
// or is refused with one error box and 1 (startups.txt).
TEST(Startup, ArgumentAndSettingsFileOpenTheWindowOrAreRefused) {
    for (const DataRow& row : dataTable("startups.txt")) {
        SCOPED_TRACE(row.where);
        const std::string &settings = row.fields[1], &message = row.fields[2], &way = row.fields[3];
        ProgramRun run;
        startIn(run, settings == "(standard)" ? standardSettings : settings == "(no file)" ? nullptr : settings.c_str(),
                utf8ToWide(row.fields[0].c_str()));
        if (way == "-") {
            MessageBoxSeen box;
            ASSERT_TRUE(waitForMessageBox(run.program, box, timeoutMs));
            EXPECT_EQ(findWindow(run.program, L"Gestalyx"), nullptr);
        } else {
            ASSERT_NO_FATAL_FAILURE(waitForCaptureWindow(run));
            ASSERT_TRUE(way == "キャンセル" || waitUntilEnabled(run.window, IDOK, timeoutMs)) << "実行 never enabled";
            if (way == "キャンセル") pressButton(run.window, IDCANCEL);
            if (way == "Esc") pressEscape(run.window);
            if (way == "close box") pressCloseBox(run.window);
            if (way == "実行" && fs::create_directory(run.poseFile())) pressButton(run.window, IDOK);
        }
        if (message != "-") expectMessage(run, message.c_str());
        EXPECT_EQ(exitStatusOf(run), 1u);
        EXPECT_EQ(fs::exists(run.poseFile()), way == "実行");
    }
}

// The parts checked, once `expected` or 3 s on: a posted click shows once handled, after a node-check pause.
std::uint32_t checkedParts(HWND window, std::uint32_t expected) {
    for (DWORD start = GetTickCount();; Sleep(20)) {
        std::uint32_t mask = 0;
        for (int row = 0; row < bodyPartCount; ++row)
            if (isChecked(window, initialBodyPartTable[row].checkboxId)) mask |= std::uint32_t{1} << row;
        if (mask == expected || GetTickCount() - start > 3000) return mask;
    }
}

// 実行 and the sample-pose button stay disabled until the node check's last step (one a fitted node),
// while the check boxes and bulk buttons answer. Then the bulk buttons check only selectable parts, the
// sample pose chosen is kept with OK only, and 実行 writes the pose file of that pose and the parts
// checked last: not neck, unselectable with mask 0, even if checked; with none, no actor block.
TEST(CaptureWindow, NodeCheckBulkButtonsSamplePoseAndExecute) {
    const struct {
        const wchar_t* argument;
        const char* switchedOff;
        int steps, offRow, last;  // offRow: the row switched off, -1 for none
        std::uint32_t mask, all, upper, lower;
    } cases[] = {
        {L"7f", nullptr, 11, -1, IDC_LOWER_BODY, 0x7F, 0x3FFFF, 0xFFF, 0x3F000},
        {L"0", "chest", 10, 3, IDC_UNCHECK_ALL, 0, 0x36DA9, 0xFFF & 0x36DA9, 0x3F000 & 0x36DA9},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.steps);
        ProgramRun run;
        startIn(run, (row.switchedOff ? withValue(standardSettings, row.switchedOff, "0") : standardSettings).c_str(),
                row.argument);
        ASSERT_NO_FATAL_FAILURE(waitForCaptureWindow(run));
        EXPECT_EQ(checkedParts(run.window, row.all), row.all);
        for (int part = 0; part < bodyPartCount; ++part)
            EXPECT_EQ(isEnabled(run.window, initialBodyPartTable[part].checkboxId), (row.all >> part) & 1) << part;
        EXPECT_EQ(isVisible(run.window, IDC_PROGRESS), 1);
        ASSERT_TRUE(pressButton(run.window, IDC_UNCHECK_ALL));
        EXPECT_EQ(checkedParts(run.window, 0), 0u);
        // Both buttons are read before the position: one short of the last step means before the check ended.
        int position = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10)) {
            int execute = isEnabled(run.window, IDOK), samplePoses = isEnabled(run.window, IDC_SAMPLE_POSE);
            position = static_cast<int>(SendMessageW(GetDlgItem(run.window, IDC_PROGRESS), PBM_GETPOS, 0, 0));
            EXPECT_TRUE(position == row.steps || execute + samplePoses == 0) << "enabled at step " << position;
            if (execute) break;
        }
        EXPECT_EQ(position, row.steps);
        EXPECT_EQ(isVisible(run.window, IDC_PROGRESS), 0);
        const struct { int button; std::uint32_t checked; } bulk[] = {
            {IDC_CHECK_ALL, row.all}, {IDC_UPPER_BODY, row.upper}, {IDC_UNCHECK_ALL, 0}, {IDC_LOWER_BODY, row.lower},
            {row.last, row.last == IDC_LOWER_BODY ? row.lower : 0},
        };
        for (const auto& press : bulk) {
            ASSERT_TRUE(pressButton(run.window, press.button));
            EXPECT_EQ(checkedParts(run.window, press.checked), press.checked) << press.button;
        }
        // ポーズ2 with OK; then ポーズ1 with キャンセル, and with the close box (0).
        const struct { int checked, choose, way; } visits[] = {{0, 1, IDOK}, {1, 0, IDCANCEL}, {1, 0, 0}};
        for (const auto& visit : visits) {
            SCOPED_TRACE(visit.way);
            ASSERT_TRUE(pressButton(run.window, IDC_SAMPLE_POSE));
            HWND dialog = waitForWindow(run.program, L"#32770", timeoutMs);
            ASSERT_TRUE(dialog != nullptr && dialog == FindWindowW(L"#32770", L"DEMOポーズ選択")) << "its title";
            for (int pose = 0; pose < 4; ++pose) {
                EXPECT_EQ(isChecked(dialog, IDC_POSE_FIRST + pose), pose == visit.checked ? 1 : 0) << pose;
                EXPECT_EQ(isEnabled(dialog, IDC_POSE_FIRST + pose), pose < 2 ? 1 : 0) << pose;
            }
            pressButton(dialog, IDC_POSE_FIRST + visit.choose);
            if (visit.way != 0) pressButton(dialog, visit.way);
            else pressCloseBox(dialog);
            for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 5000;) Sleep(20);
            EXPECT_FALSE(IsWindow(dialog));
        }
        const int neck = 4;
        SendMessageW(GetDlgItem(run.window, initialBodyPartTable[neck].checkboxId), BM_SETCHECK, BST_CHECKED, 0);
        executeAndExpect(run, expectedPoseFile(run, row.mask, bulk[4].checked | (row.all & 1 << neck), row.offRow, 1));
    }
}

}  // namespace
