// The hardware settings mode end to end: Gestalyx.exe /settings against the
// virtual doll linked as a COM port. The doll starts from the memory in
// tests/data/settings_doll.state (switch/LED source 2, chest's offsets at the
// ends of the range) and holds tests/data/calibration.posture; its log shows
// what went over the line and its control file changes it between steps.
// The tests run in order on the one doll: the switch page's test comes last.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <sstream>
#include <vector>

#include "settings/settings_resource.h"
#include "tests/windows/e2e_support.h"

namespace {

constexpr int liveTimeoutMs = 5000;
constexpr int applyNowButton = 0x3021;  // the sheet's Apply button, absent here

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The doll's paths are Unix paths; Wine shows the Unix root as Z:.
std::wstring windowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + utf8ToWide(unixPath.c_str());
    for (wchar_t& c : path) if (c == L'/') c = L'\\';
    return path;
}

std::string dataFile(const char* name) { return std::string(GESTALYX_TEST_DATA) + "/" + name; }

// Applies the options, one a line, and waits until the doll has taken them.
void controlDoll(const std::string& options) {
    std::wstring control = windowsPath(environment("GESTALYX_DOLL_CONTROL"));
    writeFile(control + L".new", options + "\n");
    ASSERT_TRUE(MoveFileExW((control + L".new").c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING));
    for (DWORD start = GetTickCount(); fileExists(control) && GetTickCount() - start < 5000;) Sleep(20);
    ASSERT_FALSE(fileExists(control)) << "the doll did not take: " << options;
}

std::string settingsFor(const std::string& port) {
    std::string settings = standardSettings;
    return settings.replace(settings.find("PortNumber=3"), 12, "PortNumber=" + port);
}

std::size_t logSize() { return readFile(windowsPath(environment("GESTALYX_DOLL_LOG"))).size(); }

// The requests in the doll's log from byte `from` on, LF dropped, joined by blanks.
std::string requestsLoggedFrom(std::size_t from) {
    std::istringstream lines(readFile(windowsPath(environment("GESTALYX_DOLL_LOG"))).substr(from));
    std::string requests;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string time, request;
        fields >> time >> request;
        if (request.ends_with("\\n")) request.resize(request.size() - 2);
        if (!requests.empty()) requests += ' ';
        requests += request;
    }
    return requests;
}

// As above, without the live readings the calibration page takes each second,
// one that has only begun included.
std::string buttonRequestsFrom(std::size_t from) {
    static const std::regex liveReading(R"(a(..)03 w\1[0-9a-f]1 a\1[0]a r\1 r\1 r\1 ?)");
    static const std::regex liveReadingBegun(R"((^| )a(..)03( w\2[0-9a-f]1( a\2[0]a( r\2){0,2})?)?$)");
    std::string requests = std::regex_replace(requestsLoggedFrom(from), liveReading, "");
    requests = std::regex_replace(requests, liveReadingBegun, "");
    return requests.ends_with(" ") ? requests.substr(0, requests.size() - 1) : requests;
}

// The survey as the data file gives it, the part names left out.
std::string surveyTranscript() {
    std::istringstream lines(readFile(windowsPath(dataFile("survey_requests.txt"))));
    std::string requests;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (!requests.empty()) requests += ' ';
        requests += line.substr(line.find("| ") + 2);
    }
    return requests;
}

bool waitForText(HWND dialog, int id, const wchar_t* text, int timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(timeoutMs); Sleep(20))
        if (controlText(dialog, id) == text) return true;
    return controlText(dialog, id) == text;
}

HWND findSheet(const DrivenProgram& program) {
    HWND window = findWindow(program, L"#32770");
    wchar_t caption[64] = L"";
    if (window != nullptr) GetWindowTextW(window, caption, 64);
    return std::wstring(caption) == L"ハードウェア設定" ? window : nullptr;
}

struct SettingsRun : ProgramRun {
    HWND sheet = nullptr;
    HWND page = nullptr;  // the calibration page
};

void openSheet(SettingsRun& run, const std::wstring& argument = L"/settings") {
    startIn(run, settingsFor(environment("GESTALYX_DOLL_PORT")).c_str(), argument);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    for (DWORD start = GetTickCount(); run.sheet == nullptr && GetTickCount() - start < windowTimeoutMs; Sleep(20))
        run.sheet = findSheet(run.program);
    ASSERT_NE(run.sheet, nullptr) << "no settings sheet";
    run.page = currentSheetPage(run.sheet);
    ASSERT_NE(run.page, nullptr);
}

void closeSheet(SettingsRun& run) {
    EXPECT_TRUE(pressButton(run.sheet, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 1u);  // the settings mode always ends so
}

void expectShown(HWND page, const wchar_t* const offsets[3], const int writeEnabled[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        EXPECT_EQ(controlText(page, IDC_OFFSET_X + axis), offsets[axis]);
        EXPECT_EQ(isEnabled(page, IDC_WRITE_X + 3 * axis), writeEnabled[axis]);
    }
}

class SettingsMode : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(environment("GESTALYX_DOLL_PORT").empty()) << "run under tools/with-virtual-doll";
        controlDoll("--clear-faults\n--posture " + dataFile("calibration.posture"));
    }
};

TEST_F(SettingsMode, SurveyGoesOverTheLineThenTheSheetShowsItsValues) {
    const std::string survey = surveyTranscript();
    const wchar_t* const parts[] = {L"腰部 (hip)", L"胸 (chest)", L"頭部 (head)", L"右腕 (rShldr)",
        L"右前腕 (rForeArm)", L"左腕 (lShldr)", L"左前腕 (lForeArm)", L"右大腿部 (rThigh)", L"右膝下 (rShin)",
        L"左大腿部 (lThigh)", L"左膝下 (lShin)"};
    const wchar_t* const chestOffsets[] = {L"-1.5", L"-512.0", L"511.5"};
    const int noWrite[] = {0, 0, 0};
    for (const wchar_t* argument : {L"/settings", L"-SETTINGS"}) {
        SCOPED_TRACE(wideToUtf8(argument));
        std::size_t mark = logSize();
        SettingsRun run;
        openSheet(run, argument);
        if (HasFatalFailure()) return;
        EXPECT_EQ(requestsLoggedFrom(mark).substr(0, survey.size()), survey);
        // One button, 閉じる; no OK, no Apply, no help button.
        EXPECT_EQ(isVisible(run.sheet, IDOK), 0);
        EXPECT_EQ(isVisible(run.sheet, applyNowButton), 0);
        EXPECT_EQ(controlText(run.sheet, IDCANCEL), L"閉じる");
        EXPECT_EQ(GetWindowLongPtrW(run.sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
        EXPECT_EQ(comboItems(run.page, IDC_PART_SELECTOR), std::vector<std::wstring>(std::begin(parts), std::end(parts)));
        EXPECT_EQ(controlText(run.page, IDC_FIRMWARE), L"16");
        ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, 1));
        EXPECT_EQ(controlText(run.page, IDC_FIRMWARE), L"33");
        expectShown(run.page, chestOffsets, noWrite);
        closeSheet(run);
    }
}

TEST_F(SettingsMode, SurveyFailuresEndWithTheirMessageAndNoSheet) {
    const struct {
        const char* what;
        const char* control;
        const char* port;  // null: the doll's
        const char* message;
        std::size_t requests;  // on the line
        const char* lastRequests;
    } cases[] = {
        {"head silent", "--fault silent@31", nullptr, "頭部 (head) ノードの情報が取得できませんでした。", 44 + 3,
         "a3103 a3103 a3103"},
        {"switch/LED unit silent", "--fault silent@doll", nullptr, "スイッチ・LEDの設定が取得できませんでした。",
         11 * 22 + 3, "u u u"},
        {"no such port", "", "200", "仮想通信ポート (COM200) に接続できません。", 0, ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        controlDoll(std::string("--clear-faults\n") + row.control);
        std::size_t mark = logSize();
        ProgramRun run;
        startIn(run, settingsFor(row.port != nullptr ? row.port : environment("GESTALYX_DOLL_PORT")).c_str(),
                L"/settings");
        MessageBoxSeen box;
        ASSERT_TRUE(waitForMessageBox(run.program, box, windowTimeoutMs));
        EXPECT_EQ(box.title, L"Gestalyx");
        EXPECT_EQ(wideToUtf8(box.text), row.message);
        std::string requests = requestsLoggedFrom(mark);
        EXPECT_EQ(requests.empty() ? 0 : std::count(requests.begin(), requests.end(), ' ') + 1,
                  static_cast<std::ptrdiff_t>(row.requests));
        EXPECT_TRUE(requests.ends_with(row.lastRequests)) << requests;
        pressButton(box.window, IDOK);
        EXPECT_EQ(exitStatusOf(run), 1u);
    }
}

TEST_F(SettingsMode, LiveReadingEachSecondAndNoneAfterAPartChange) {
    SettingsRun run;
    openSheet(run);
    if (HasFatalFailure()) return;
    const struct {
        const char* what;
        const char* control;
        int part;  // -1: stay
        const wchar_t* live[4];  // x, y, z, gravity
        int autoEnabled;
    } cases[] = {
        {"hip read", "", -1, {L"10", L"-3", L"60", L"60.9"}, 1},
        // A failed reading changes nothing: fields empty, 自動算出 disabled.
        {"chest silent after the change", "--fault silent@30", 1, {L"", L"", L"", L""}, 0},
        // chest's active offsets (-1.5, -512.0, 511.5) move its reading to the ends.
        {"chest read", "--clear-faults", -1, {L"-2", L"-128", L"127", L"180.3"}, 1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        controlDoll(row.control);
        if (row.part >= 0) {
            ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, row.part));
        }
        // Long enough for a reading, or for readings that fail.
        if (row.autoEnabled) {
            EXPECT_TRUE(waitUntilEnabled(run.page, IDC_AUTO_X, liveTimeoutMs));
        } else {
            Sleep(2500);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(controlText(run.page, i < 3 ? IDC_LIVE_X + i : IDC_GRAVITY), row.live[i]) << i;
        for (int id : {IDC_AUTO_X, IDC_AUTO_Y, IDC_AUTO_Z}) EXPECT_EQ(isEnabled(run.page, id), row.autoEnabled);
    }
    closeSheet(run);
}

// The three buttons of an axis in id order, then its spin arrows.
enum Button { AutoOffset = 0, Apply = 1, Write = 2, SpinUp, SpinDown };

TEST_F(SettingsMode, CalibrationButtonsAndSpinArrowsSendExactlyTheirFrames) {
    SettingsRun run;
    openSheet(run);
    if (HasFatalFailure()) return;
    // hip reads (10, -3, 60) with its offsets at 0.
    ASSERT_TRUE(waitForText(run.page, IDC_LIVE_X, L"10", liveTimeoutMs));
    const struct {
        const char* what;
        Button button;
        int axis;
        const wchar_t* typed;  // null: as it stands
        const wchar_t* shown;
        const char* requests;  // a regular expression, live readings left out
        int writeEnabled;
    } cases[] = {
        {"自動算出 X", AutoOffset, 0, nullptr, L"-10.0", "", 0},
        {"自動算出 Y", AutoOffset, 1, nullptr, L"3.0", "", 0},
        {"自動算出 Z", AutoOffset, 2, nullptr, L"4.0", "", 0},
        {"仮設定 Z", Apply, 2, nullptr, L"4.0", "a2008 w2008 w2000 a2003 w20[0-9a-f]8", 1},
        {"仮設定 Z again: already active", Apply, 2, nullptr, L"4.0", "", 1},
        {"12.34 is 24 half counts", Apply, 0, L"12.34", L"12.0", "a2004 w2018 w2000 a2003 w20[0-9a-f]6", 1},
        {"書込 stores the active value", Write, 0, L"99", L"12.0", "a2004 w2018 w2000 a2003 w20[0-9a-f]9", 0},
        {"600 is 1023 half counts", Apply, 1, L"600", L"511.5", "a2006 w20ff w2003 a2003 w20[0-9a-f]7", 1},
        {"-600 is -1024", Apply, 1, L"-600", L"-512.0", "a2006 w2000 w2004 a2003 w20[0-9a-f]7", 1},
        {"12.34x is 0", Apply, 1, L"12.34x", L"0.0", "a2006 w2000 w2000 a2003 w20[0-9a-f]7", 0},
        {"書込 Z", Write, 2, nullptr, L"4.0", "a2008 w2008 w2000 a2003 w20[0-9a-f]b", 0},
        // The spin arrows send nothing: 1.3 is clamped to 1.0, then stepped.
        {"1.3 up", SpinUp, 1, L"1.3", L"1.5", "", 0},
        {"1.3 down", SpinDown, 1, L"1.3", L"0.5", "", 0},
        {"511.5 up", SpinUp, 1, L"511.5", L"511.5", "", 0},
        {"-512.0 down", SpinDown, 1, L"-512.0", L"-512.0", "", 0},
        {"no number: 0, unstepped", SpinUp, 1, L"abc", L"0.0", "", 0},
        {"empty: 0, stepped", SpinDown, 1, L"", L"-0.5", "", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        int edit = IDC_OFFSET_X + row.axis;
        if (row.typed != nullptr) typeText(run.page, edit, row.typed);
        std::size_t mark = logSize();
        if (row.button == SpinUp || row.button == SpinDown) {
            clickScrollArrow(run.page, IDC_SPIN_X + row.axis, row.button == SpinUp ? SB_LINEUP : SB_LINEDOWN);
            EXPECT_EQ(focusedWindow(run.sheet), GetDlgItem(run.page, edit));
        } else {
            EXPECT_TRUE(clickButton(run.page, IDC_AUTO_X + 3 * row.axis + row.button));
        }
        EXPECT_EQ(controlText(run.page, edit), row.shown);
        std::string requests = buttonRequestsFrom(mark);
        EXPECT_TRUE(std::regex_match(requests, std::regex(row.requests))) << requests;
        EXPECT_EQ(isEnabled(run.page, IDC_WRITE_X + 3 * row.axis), row.writeEnabled);
        if (row.button == Write) {
            EXPECT_EQ(focusedWindow(run.sheet), GetDlgItem(run.sheet, IDCANCEL));
        }
    }
    closeSheet(run);
}

TEST_F(SettingsMode, FailedSetAndStoreShowTheirTextAndChangeNothing) {
    SettingsRun run;
    openSheet(run);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, 9));  // lThigh, node 38
    const char* const setFailed = R"(\d\d:\d\d:\d\d 左大腿部 \(lThigh\) ノードに設定できませんでした。)";
    const char* const storeFailed = R"(\d\d:\d\d:\d\d 左大腿部 \(lThigh\) ノードに書き込めませんでした。)";
    const struct {
        const char* what;
        const char* control;
        const wchar_t* typed;
        Button button;  // on axis X
        const wchar_t* shown;
        int writeEnabled;
        const char* status;  // a regular expression
    } cases[] = {
        {"set fails", "--fault silent@38", L"3", Apply, L"3.0", 0, setFailed},
        // The active offset is still 0, so the value goes out again; the text stays.
        {"set again", "--clear-faults", nullptr, Apply, L"3.0", 1, setFailed},
        {"store fails", "--fault silent@38", L"7", Write, L"7", 1, storeFailed},
        {"store", "--clear-faults", nullptr, Write, L"3.0", 0, storeFailed},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        controlDoll(row.control);
        if (row.typed != nullptr) typeText(run.page, IDC_OFFSET_X, row.typed);
        EXPECT_TRUE(clickButton(run.page, IDC_AUTO_X + row.button));
        EXPECT_EQ(controlText(run.page, IDC_OFFSET_X), row.shown);
        EXPECT_EQ(isEnabled(run.page, IDC_WRITE_X), row.writeEnabled);
        EXPECT_TRUE(std::regex_match(wideToUtf8(statusBarText(run.page)), std::regex(row.status)))
            << wideToUtf8(statusBarText(run.page));
    }
    // The status text goes when the page becomes active again, and on a part change.
    selectSheetPage(run.sheet, 1);
    EXPECT_EQ(selectSheetPage(run.sheet, 0), run.page);
    EXPECT_EQ(statusBarText(run.page), L"");
    controlDoll("--fault silent@38");
    typeText(run.page, IDC_OFFSET_X, L"5");
    EXPECT_TRUE(clickButton(run.page, IDC_APPLY_X));
    EXPECT_NE(statusBarText(run.page), L"");
    ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, 0));
    EXPECT_EQ(statusBarText(run.page), L"");
    closeSheet(run);
}

TEST_F(SettingsMode, StoredOffsetsAreSurveyedAgainAfterTheDollRestarts) {
    {
        SettingsRun run;
        openSheet(run);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, 10));  // lShin, node 39
        typeText(run.page, IDC_OFFSET_X, L"-1.5");
        EXPECT_TRUE(clickButton(run.page, IDC_APPLY_X));
        EXPECT_TRUE(clickButton(run.page, IDC_WRITE_X));
        typeText(run.page, IDC_OFFSET_Z, L"2.5");
        EXPECT_TRUE(clickButton(run.page, IDC_APPLY_Z));
        closeSheet(run);
    }
    const struct {
        const char* what;
        const char* control;
        const wchar_t* offsets[3];
        int writeEnabled[3];
    } cases[] = {
        {"doll still on: Z active only", "", {L"-1.5", L"0.0", L"2.5"}, {0, 0, 1}},
        {"doll restarted", "--power-cycle", {L"-1.5", L"0.0", L"0.0"}, {0, 0, 0}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        controlDoll(row.control);
        SettingsRun run;
        openSheet(run);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(selectComboItem(run.page, IDC_PART_SELECTOR, 10));
        expectShown(run.page, row.offsets, row.writeEnabled);
        closeSheet(run);
    }
}

TEST_F(SettingsMode, SwitchPageSendsAChoiceOnlyWhenItDiffers) {
    SettingsRun run;
    openSheet(run);
    if (HasFatalFailure()) return;
    HWND page = selectSheetPage(run.sheet, 1);
    ASSERT_NE(page, nullptr);
    // The survey read 2, which counts as the external unit.
    EXPECT_EQ(isChecked(page, IDC_EXTERNAL_UNIT), 1);
    EXPECT_EQ(isEnabled(page, IDC_SEND_SOURCE), 0);
    const char* const sendFailed = R"(\d\d:\d\d:\d\d マリオネクスに情報を書き込めませんでした。)";
    const struct {
        const char* what;
        const char* control;
        int button;
        int external;  // 302 checked
        int sendEnabled;
        const char* requests;
        const char* status;
    } cases[] = {
        {"external again: 2 is external", "", IDC_EXTERNAL_UNIT, 1, 0, "", ""},
        {"built-in differs", "", IDC_BUILT_IN_UNIT, 0, 1, "", ""},
        {"send 0", "", IDC_SEND_SOURCE, 0, 0, "c00", ""},
        {"external differs from 0", "", IDC_EXTERNAL_UNIT, 1, 1, "", ""},
        {"send fails", "--fault silent@doll", IDC_SEND_SOURCE, 1, 1, "c01 c01 c01", sendFailed},
        {"send again", "--clear-faults", IDC_SEND_SOURCE, 1, 0, "c01", sendFailed},
        {"built-in differs from 1", "", IDC_BUILT_IN_UNIT, 0, 1, "", sendFailed},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        controlDoll(row.control);
        std::size_t mark = logSize();
        EXPECT_TRUE(clickButton(page, row.button));
        EXPECT_EQ(isChecked(page, IDC_EXTERNAL_UNIT), row.external);
        EXPECT_EQ(isChecked(page, IDC_BUILT_IN_UNIT), 1 - row.external);
        EXPECT_EQ(isEnabled(page, IDC_SEND_SOURCE), row.sendEnabled);
        EXPECT_EQ(buttonRequestsFrom(mark), row.requests);
        EXPECT_TRUE(std::regex_match(wideToUtf8(statusBarText(page)), std::regex(row.status)));
    }
    // Coming back to the page clears the text and keeps the choice.
    selectSheetPage(run.sheet, 0);
    EXPECT_EQ(selectSheetPage(run.sheet, 1), page);
    EXPECT_EQ(statusBarText(page), L"");
    EXPECT_EQ(isChecked(page, IDC_BUILT_IN_UNIT), 1);
    EXPECT_EQ(isEnabled(page, IDC_SEND_SOURCE), 1);
    closeSheet(run);
}

}  // namespace
