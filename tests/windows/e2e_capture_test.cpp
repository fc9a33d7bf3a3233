// The capture window used as a person would: the node check, the part check
// boxes and bulk buttons, the sample-pose dialog, 実行 and the ways to leave.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <regex>

#include "app/resource.h"
#include "model/body_parts.h"
#include "output/pose_file.h"
#include "solver/joint_angles.h"
#include "solver/sample_poses.h"
#include "tests/windows/e2e_support.h"

namespace {

std::uint32_t checkedParts(HWND window) {
    std::uint32_t mask = 0;
    for (int row = 0; row < bodyPartCount; ++row)
        if (isChecked(window, initialBodyPartTable[row].checkboxId)) mask |= std::uint32_t{1} << row;
    return mask;
}

// Bulk buttons are clicks posted to the window; their effect shows once the
// window has handled them, after a node-check pause at the most.
std::uint32_t checkedPartsSettled(HWND window, std::uint32_t expected) {
    for (DWORD start = GetTickCount(); checkedParts(window) != expected && GetTickCount() - start < 3000;)
        Sleep(20);
    return checkedParts(window);
}

// The line after the program line holds the local time; it is checked for its
// shape and then left out of comparisons.
std::string withoutTime(const std::string& poseFile) {
    const std::string programLine = "Gestalyx ver1.0.0 DEMO\n";
    size_t start = poseFile.find(programLine);
    if (start == std::string::npos) return poseFile;
    start += programLine.size();
    size_t end = poseFile.find('\n', start);
    std::string time = poseFile.substr(start, end - start);
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << time;
    return poseFile.substr(0, start) + "<time>" + poseFile.substr(end);
}

// What the solver and the writer give for this start, pose and selection.
std::string expectedPoseFile(const ProgramRun& run, std::uint32_t partMask, int pose, std::uint32_t selection,
                             int switchedOffRow = -1) {
    resetBodyPartTable();
    applyPartMask(partMask);
    if (switchedOffRow >= 0) bodyPartTable[switchedOffRow].flags |= NoNode;
    samplePose = pose;
    solvePose();
    std::string path = wideToUtf8(run.folder) + "\\expected.pz2";
    EXPECT_EQ(writePoseFile(path.c_str(), selection), 1);
    return readFile(utf8ToWide(path.c_str()));
}

void executeAndExpect(ProgramRun& run, const std::string& expected) {
    ASSERT_TRUE(pressButton(run.window, IDOK));
    EXPECT_EQ(exitStatusOf(run), 0u);
    std::string written = readFile(run.folder + L"\\Gestalyx.pz2");
    EXPECT_EQ(withoutTime(written), withoutTime(expected));
}

struct NodeCheckCase {
    const char* settings;
    int steps;
};

TEST(CaptureWindow, NodeCheckKeepsExecuteDisabledUntilItsLastTick) {
    std::string chestOff = standardSettings;
    chestOff.replace(chestOff.find("chest=1"), 7, "chest=0");
    const NodeCheckCase cases[] = {{standardSettings, 11}, {chestOff.c_str(), 10}};
    for (const NodeCheckCase& row : cases) {
        SCOPED_TRACE(row.steps);
        ProgramRun run;
        startIn(run, row.settings, L"7f");
        waitForCaptureWindow(run);
        if (HasFatalFailure()) return;
        HWND bar = GetDlgItem(run.window, IDC_PROGRESS);
        EXPECT_EQ(isVisible(run.window, IDC_PROGRESS), 1);
        // The check boxes and bulk buttons answer during the node check.
        ASSERT_TRUE(pressButton(run.window, IDC_UNCHECK_ALL));
        EXPECT_EQ(checkedPartsSettled(run.window, 0), 0u);
        // Both buttons are read before the position: a position short of the
        // last step means they were read before the sequence ended.
        int lastPosition = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
            int execute = isEnabled(run.window, IDOK), samplePoses = isEnabled(run.window, IDC_SAMPLE_POSE);
            lastPosition = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
            if (lastPosition < row.steps) {
                EXPECT_EQ(execute, 0) << lastPosition;
                EXPECT_EQ(samplePoses, 0) << lastPosition;
            }
            if (execute) break;
            Sleep(10);
        }
        ASSERT_EQ(isEnabled(run.window, IDOK), 1);
        EXPECT_EQ(lastPosition, row.steps);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), row.steps);
        EXPECT_EQ(isVisible(run.window, IDC_PROGRESS), 0);
        EXPECT_EQ(isEnabled(run.window, IDC_SAMPLE_POSE), 1);
        pressButton(run.window, IDCANCEL);
        EXPECT_EQ(exitStatusOf(run), 1u);
    }
}

TEST(CaptureWindow, BulkButtonsCheckOnlySelectableParts) {
    const struct {
        const wchar_t* mask;
        std::uint32_t upper, lower, all;
    } cases[] = {{L"7f", 0xFFF, 0x3F000, 0x3FFFF}, {L"0", 0xFFF & 0x36DA9, 0x3F000 & 0x36DA9, 0x36DA9}};
    for (const auto& row : cases) {
        SCOPED_TRACE(wideToUtf8(row.mask));
        ProgramRun run;
        startWhenReady(run, standardSettings, row.mask);
        if (HasFatalFailure()) return;
        EXPECT_EQ(checkedParts(run.window), row.all);
        for (const BodyPart& part : initialBodyPartTable)
            EXPECT_EQ(isEnabled(run.window, part.checkboxId), (row.all >> (&part - &initialBodyPartTable[0])) & 1);
        const struct { int button; std::uint32_t checked; } presses[] = {
            {IDC_UPPER_BODY, row.upper}, {IDC_LOWER_BODY, row.lower}, {IDC_UNCHECK_ALL, 0}, {IDC_CHECK_ALL, row.all},
        };
        for (const auto& press : presses) {
            ASSERT_TRUE(pressButton(run.window, press.button));
            EXPECT_EQ(checkedPartsSettled(run.window, press.checked), press.checked) << press.button;
        }
        pressButton(run.window, IDCANCEL);
        EXPECT_EQ(exitStatusOf(run), 1u);
    }
}

// 実行 writes what the solver and the writer give for the start, the node
// switched off and the checked parts, and the program ends with 0.
TEST(CaptureWindow, ExecuteWritesThePoseFileOfTheCheckedParts) {
    const struct {
        const char* name;
        const wchar_t* mask;
        std::uint32_t partMask;
        int button;  // pressed before 実行, or 0
        std::uint32_t selection;
        int switchedOffRow;
    } cases[] = {
        {"lower body", L"7f", 0x7F, IDC_LOWER_BODY, 0x3F000, -1},
        {"nothing: header and diagnostics only", L"7f", 0x7F, IDC_UNCHECK_ALL, 0, -1},
        {"mask 0, neck's box checked by other means", L"0", 0, IDC_CHECK_ALL, 0x36DA9, -1},
        {"rForeArm switched off", L"7f", 0x7F, 0, 0x3FFFF, 8},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::string settings = standardSettings;
        if (row.switchedOffRow >= 0) settings.replace(settings.find("rForeArm=1"), 10, "rForeArm=0");
        ProgramRun run;
        startWhenReady(run, settings.c_str(), row.mask);
        if (HasFatalFailure()) return;
        if (row.button != 0) pressButton(run.window, row.button);
        checkedPartsSettled(run.window, row.selection);
        // Neck is unselectable with mask 0: a checked box must not select it.
        if (row.partMask == 0) SendMessageW(GetDlgItem(run.window, 103), BM_SETCHECK, BST_CHECKED, 0);
        executeAndExpect(run, expectedPoseFile(run, row.partMask, 0, row.selection, row.switchedOffRow));
    }
}

HWND openSamplePoseDialog(ProgramRun& run) {
    EXPECT_TRUE(pressButton(run.window, IDC_SAMPLE_POSE));
    HWND dialog = waitForWindow(run.program, L"#32770", windowTimeoutMs);
    EXPECT_NE(dialog, nullptr);
    if (dialog == nullptr) return nullptr;
    wchar_t title[64];
    GetWindowTextW(dialog, title, 64);
    EXPECT_EQ(wideToUtf8(title), "DEMOポーズ選択");
    EXPECT_EQ(isEnabled(dialog, 403), 0);
    EXPECT_EQ(isEnabled(dialog, 404), 0);
    return dialog;
}

void waitUntilClosed(ProgramRun& run) {
    for (DWORD start = GetTickCount(); findWindow(run.program, L"#32770") && GetTickCount() - start < 5000;)
        Sleep(20);
    EXPECT_EQ(findWindow(run.program, L"#32770"), nullptr);
}

int checkedPose(HWND dialog) {
    int checked = -1;
    for (int i = 0; i < 4; ++i)
        if (isChecked(dialog, IDC_POSE_FIRST + i)) checked = i;
    return checked;
}

TEST(CaptureWindow, SamplePoseChoiceKeptByOkOnlyAndUsedForThePoseFile) {
    ProgramRun run;
    startWhenReady(run, standardSettings, L"7f");

    HWND dialog = openSamplePoseDialog(run);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(checkedPose(dialog), 0);
    pressButton(dialog, 402);
    pressButton(dialog, IDOK);
    waitUntilClosed(run);

    // キャンセル and the close box leave the choice made with OK.
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way);
        dialog = openSamplePoseDialog(run);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(checkedPose(dialog), 1);
        pressButton(dialog, 401);
        if (way == 0) pressButton(dialog, IDCANCEL);
        else pressCloseBox(dialog);
        waitUntilClosed(run);
    }
    dialog = openSamplePoseDialog(run);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(checkedPose(dialog), 1);
    pressButton(dialog, IDOK);
    waitUntilClosed(run);

    executeAndExpect(run, expectedPoseFile(run, 0x7F, 1, 0x3FFFF));
}

TEST(CaptureWindow, CancelEscapeAndCloseBoxEndWithOneAndWriteNothing) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        ProgramRun run;
        startWhenReady(run, standardSettings, L"7f");
        if (way == 0) pressButton(run.window, IDCANCEL);
        if (way == 1) pressEscape(run.window);
        if (way == 2) pressCloseBox(run.window);
        EXPECT_EQ(exitStatusOf(run), 1u);
        EXPECT_FALSE(fileExists(run.folder + L"\\Gestalyx.pz2"));
    }
}

TEST(CaptureWindow, PoseFileThatCannotBeCreatedIsReportedAndEndsWithOne) {
    ProgramRun run;
    startWhenReady(run, standardSettings, L"7f");
    ASSERT_TRUE(CreateDirectoryW((run.folder + L"\\Gestalyx.pz2").c_str(), nullptr));
    ASSERT_TRUE(pressButton(run.window, IDOK));
    MessageBoxSeen box;
    ASSERT_TRUE(waitForMessageBox(run.program, box, windowTimeoutMs));
    EXPECT_EQ(box.title, L"Gestalyx");
    EXPECT_EQ(wideToUtf8(box.text), "一時ファイル (Gestalyx.pz2) を作成できません。");
    pressButton(box.window, IDOK);
    EXPECT_EQ(exitStatusOf(run), 1u);
}

}  // namespace
