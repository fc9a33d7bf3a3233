// Start-up and the capture window used as a person would: the argument, the settings file,
// the node check, the part check boxes and bulk buttons, the sample-pose dialog, 実行, leaving.
#include "tests/windows/support.h"

#include <commctrl.h>

#include "app/resource.h"

namespace {

// A start opens the capture window, where キャンセル ends it with 1 during
// the node check, or is refused with one error box and 1 (startups.txt).
TEST(Startup, ArgumentAndSettingsFileOpenTheWindowOrAreRefused) {
    for (const DataRow& row : dataTable("startups.txt")) {
        SCOPED_TRACE(row.where);
        const std::string &settings = row.fields[1], &message = row.fields[2];
        ProgramRun run;
        startIn(run, settings == "(standard)" ? standardSettings : settings == "(no file)" ? nullptr : settings.c_str(),
                utf8ToWide(row.fields[0].c_str()));
        if (message != "-") {
            MessageBoxSeen box;
            ASSERT_TRUE(waitForMessageBox(run.program, box, timeoutMs));
            EXPECT_EQ(findWindow(run.program, L"Gestalyx"), nullptr);
            expectMessage(run, message.c_str());
        } else {
            ASSERT_NO_FATAL_FAILURE(waitForCaptureWindow(run));
            EXPECT_TRUE(pressButton(run.window, IDCANCEL));
        }
        EXPECT_EQ(exitStatusOf(run), 1u);
        EXPECT_FALSE(fs::exists(run.poseFile()));
    }
}

std::uint32_t checkedParts(HWND window) {
    std::uint32_t mask = 0;
    for (int row = 0; row < bodyPartCount; ++row)
        if (isChecked(window, initialBodyPartTable[row].checkboxId)) mask |= std::uint32_t{1} << row;
    return mask;
}

// A click is posted: its effect shows once handled, after a node-check pause at the most.
std::uint32_t checkedPartsSettled(HWND window, std::uint32_t expected) {
    for (DWORD start = GetTickCount(); checkedParts(window) != expected && GetTickCount() - start < 3000;) Sleep(20);
    return checkedParts(window);
}

// 実行 and the sample-pose button stay disabled until the node check's last
// step (one a fitted node), while the check boxes and bulk buttons answer.
// Then the bulk buttons check only selectable parts, the sample pose chosen
// is kept with OK only, and 実行 writes the pose file of that pose and the
// parts checked last: not neck, unselectable with mask 0, even if checked;
// with no part, the header and the diagnostic block only.
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
        EXPECT_EQ(checkedParts(run.window), row.all);
        for (int part = 0; part < bodyPartCount; ++part)
            EXPECT_EQ(isEnabled(run.window, initialBodyPartTable[part].checkboxId), (row.all >> part) & 1) << part;
        EXPECT_EQ(isVisible(run.window, IDC_PROGRESS), 1);
        ASSERT_TRUE(pressButton(run.window, IDC_UNCHECK_ALL));
        EXPECT_EQ(checkedPartsSettled(run.window, 0), 0u);
        // Both buttons are read before the position: a position short of the
        // last step means they were read before the check ended.
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
            EXPECT_EQ(checkedPartsSettled(run.window, press.checked), press.checked) << press.button;
        }
        // ポーズ2 with OK; then ポーズ1 with キャンセル, and with the close box (0).
        const struct { int checked, choose, way; } visits[] = {{0, 1, IDOK}, {1, 0, IDCANCEL}, {1, 0, 0}};
        for (const auto& visit : visits) {
            SCOPED_TRACE(visit.way);
            ASSERT_TRUE(pressButton(run.window, IDC_SAMPLE_POSE));
            HWND dialog = waitForWindow(run.program, L"#32770", timeoutMs);
            ASSERT_NE(dialog, nullptr);
            wchar_t title[32];
            GetWindowTextW(dialog, title, 32);
            EXPECT_EQ(wideToUtf8(title), "DEMOポーズ選択");
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

// キャンセル, Esc and the close box end with 1 and write nothing; a pose file
// that cannot be created is reported and ends with 1.
TEST(CaptureWindow, EveryWayToEndWithOne) {
    enum Way { Cancel, Escape, CloseBox, CannotCreate };
    for (Way way : {Cancel, Escape, CloseBox, CannotCreate}) {
        SCOPED_TRACE(way);
        ProgramRun run;
        ASSERT_NO_FATAL_FAILURE(startWhenReady(run, standardSettings));
        if (way == Cancel) pressButton(run.window, IDCANCEL);
        if (way == Escape) pressEscape(run.window);
        if (way == CloseBox) pressCloseBox(run.window);
        if (way == CannotCreate) {
            ASSERT_TRUE(fs::create_directory(run.poseFile()));
            ASSERT_TRUE(pressButton(run.window, IDOK));
            expectMessage(run, "一時ファイル (Gestalyx.pz2) を作成できません。");
        }
        EXPECT_EQ(exitStatusOf(run), 1u);
        EXPECT_EQ(fs::exists(run.poseFile()), way == CannotCreate);
    }
}

}  // namespace
