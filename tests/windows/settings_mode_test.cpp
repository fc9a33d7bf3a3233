// The hardware settings mode end to end against the virtual doll, which starts
// from the memory in tests/data/settings_doll.state and holds calibration.posture.
// The tests run in order on the one doll; the sheet's steps are in settings_sheet_steps.txt.
#include "tests/windows/support.h"

#include "hardware_settings/settings_resource.h"

namespace {

struct SheetRun : ProgramRun { HWND sheet = nullptr, page = nullptr; };

void openSheet(SheetRun& run) {
    ASSERT_NO_FATAL_FAILURE(startIn(run, onDollPort().c_str(), L"/settings"));
    ASSERT_NE(run.sheet = waitForSheet(run.program), nullptr) << "no settings sheet";
    ASSERT_NE(run.page = currentSheetPage(run.sheet), nullptr);
}

// By 閉じる, Esc or the close box.
void closeSheet(SheetRun& run, const std::string& way = "") {
    if (way == "Esc") pressEscape(run.sheet);
    else if (way == "close-box") pressCloseBox(run.sheet);
    else EXPECT_TRUE(pressButton(run.sheet, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 1u);  // the settings mode always ends so
}

class SettingsMode : public testing::Test {
protected:
    void SetUp() override { controlDoll("--clear-faults\n--posture " + dataFile("calibration.posture")); }
};

// A node that does not answer ends the mode with its message and no sheet; the survey's other failures
// are shown natively, a port that cannot be opened in startups.txt.
TEST_F(SettingsMode, SurveyFailureEndsWithItsMessageAndNoSheet) {
    controlDoll("--fault silent@31");
    ProgramRun run;
    startIn(run, onDollPort().c_str(), L"/settings");
    expectMessage(run, "頭部 (head) ノードの情報が取得できませんでした。");
    EXPECT_EQ(exitStatusOf(run), 1u);
}

// What the page shows of `kind` (see settings_sheet_steps.txt).
std::string viewOf(HWND page, const std::string& kind) {
    std::string view = kind + ":";
    auto add = [&](const std::string& word) { view += word.empty() ? "" : " " + word; };
    auto text = [&](int id) { return wideToUtf8(controlText(page, id)); };
    if (kind == "parts")
        for (const std::wstring& item : comboItems(page, IDC_PART_SELECTOR)) add(wideToUtf8(item));
    if (kind == "node") {
        add(text(IDC_FIRMWARE));
        for (int axis = 0; axis < 3; ++axis) {
            add(text(IDC_OFFSET_X + axis));
            add(isEnabled(page, IDC_WRITE_X + 3 * axis) ? "書込" : "");
        }
    } else if (kind == "live") {
        for (int id : {IDC_LIVE_X, IDC_LIVE_Y, IDC_LIVE_Z, IDC_GRAVITY}) add(text(id));
        add(isEnabled(page, IDC_AUTO_X) && isEnabled(page, IDC_AUTO_Y) && isEnabled(page, IDC_AUTO_Z) ? "自動算出" : "");
    } else if (kind == "switch") {
        add(isChecked(page, IDC_BUILT_IN_UNIT) ? "内蔵" : isChecked(page, IDC_EXTERNAL_UNIT) ? "外付け" : "");
        add(isEnabled(page, IDC_SEND_SOURCE) ? "設定・書込" : "");
    }
    return view;
}

// The requests after `mark` without the live readings (a2003 w2021 a200a r20 r20 r20 for hip), one that
// has only begun included.
std::string buttonRequestsSince(std::size_t mark) {
    static const std::regex reading(R"(a(..)03 w\1[0-9a-f]1 a\1[0]a r\1 r\1 r\1 ?)");
    static const std::regex begun(R"((^| )a(..)03( w\2[0-9a-f]1( a\2[0]a( r\2){0,2})?)?$)");
    // A reading the mark fell into: its tail leads (a button's requests always begin with an address).
    static const std::regex ending(R"(^(w..[0-9a-f]1 ?)?(a..0a ?)?(r.. ?){0,3})");
    std::string requests = std::regex_replace(std::regex_replace(requestsSince(mark), ending, ""), reading, "");
    requests = std::regex_replace(requests, begun, "");
    return requests.ends_with(" ") ? requests.substr(0, requests.size() - 1) : requests;
}

// The survey on the line, then the sheet used step by step.
TEST_F(SettingsMode, SurveyThenTheSheetStepByStep) {
    std::size_t mark = dollLog().size();
    SheetRun run;
    ASSERT_NO_FATAL_FAILURE(openSheet(run));
    std::string survey = transcript("survey_requests.txt");
    EXPECT_EQ(requestsSince(mark, 11 * 22 + 1).substr(0, survey.size()), survey);
    // One button, 閉じる: no OK, no Apply, no help button. (Wine shows no other process the sheet's icon.)
    EXPECT_EQ(controlText(run.sheet, IDCANCEL), L"閉じる");
    EXPECT_FALSE(isVisible(run.sheet, IDOK) || isVisible(run.sheet, 0x3021)) << "OK or Apply shown";
    EXPECT_EQ(GetWindowLongPtrW(run.sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
    const struct { const char* label; int id; } buttons[] = {
        {"自動算出", IDC_AUTO_X}, {"仮設定", IDC_APPLY_X}, {"書込", IDC_WRITE_X},
        {"内蔵", IDC_BUILT_IN_UNIT}, {"外付け", IDC_EXTERNAL_UNIT}, {"設定・書込", IDC_SEND_SOURCE},
    };
    HWND page = run.page;
    for (const DataRow& step : dataTable("settings_sheet_steps.txt")) {
        SCOPED_TRACE(step.where + " " + step.fields[0]);
        if (!step.fields[1].empty()) controlDoll(step.fields[1]);
        std::string done, argument;
        std::istringstream(step.fields[3]) >> done >> argument;
        int axis = argument == "Y" ? 1 : argument == "Z" ? 2 : 0, number = std::atoi(argument.c_str());
        if (step.fields[2] != "-") typeText(page, IDC_OFFSET_X + axis, utf8ToWide(step.fields[2].c_str()));
        std::size_t mark = dollLog().size();
        int acted = 1;
        for (const auto& button : buttons)
            if (done == button.label) acted = clickButton(page, button.id + (button.id <= IDC_WRITE_X ? 3 * axis : 0));
        if (done == "up" || done == "down")
            clickScrollArrow(page, IDC_SPIN_X + axis, done == "up" ? SB_LINEUP : SB_LINEDOWN);
        if (done == "part") acted = selectComboItem(page, IDC_PART_SELECTOR, number);
        if (done == "page") page = selectSheetPage(run.sheet, number);
        if (done == "wait") Sleep(number);
        if (done == "enter") pressKey(page, argument == "part" ? IDC_PART_SELECTOR : IDC_OFFSET_X + axis, VK_RETURN);
        if (done == "reopen") {
            closeSheet(run, argument);
            ASSERT_NO_FATAL_FAILURE(openSheet(run));
            page = run.page;
        }
        EXPECT_EQ(acted, 1) << "the button is hidden or disabled";
        // A live reading comes once a second, a key once the program takes it from its queue.
        const std::string &shows = step.fields[4], &sent = step.fields[5], status = step.fields.size() > 6 ? step.fields[6] : "";
        std::string view, requests, statusShown;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(50)) {
            view = shows == "-" ? shows : viewOf(page, shows.substr(0, shows.find(':')));
            requests = buttonRequestsSince(mark);
            statusShown = std::regex_replace(wideToUtf8(statusBarText(page)), std::regex(R"(^\d\d:\d\d:\d\d)"), "*");
            if (view == shows && (sent == "-" || std::regex_match(requests, std::regex(sent))) && statusShown == status) break;
        }
        EXPECT_EQ(view, shows);
        EXPECT_TRUE(sent == "-" || std::regex_match(requests, std::regex(sent))) << requests;
        EXPECT_EQ(statusShown, status);
        EXPECT_TRUE(status.empty() || statusBarInside(page)) << "the status bar lies outside the page";
        EXPECT_TRUE(IsWindowVisible(run.sheet)) << "the sheet has closed";
        // 書込 disables itself and hands the focus on to 閉じる.
        if (done == "書込" && !isEnabled(page, IDC_WRITE_X + 3 * axis)) {
            EXPECT_EQ(focusedWindow(run.sheet), GetDlgItem(run.sheet, IDCANCEL));
        }
    }
    closeSheet(run);
}

}  // namespace
