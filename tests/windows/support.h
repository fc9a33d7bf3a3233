// What the Wine tests share: Gestalyx.exe started in a folder of its own, the pose file the core gives
// for comparison, and the virtual doll on a serial port as tools/with-virtual-doll starts it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "model/body_parts.h"
#include "monitor/monitor_resource.h"
#include "output/pose_file.h"
#include "solver/joint_angles.h"
#include "solver/sample_poses.h"
#include "tests/common/data_table.h"
#include "tools/driver/driver.h"
#include "tools/driver/test_environment.h"
#include "tools/virtual-doll/doll_files.h"

namespace fs = std::filesystem;

constexpr int timeoutMs = 20000;

// Every node fitted, port 3.
inline const char* const standardSettings =
    "[COMM]\r\nPortNumber=3\r\n[NODE]\r\nchest=1\r\nhead=1\r\nrShldr=1\r\nrForeArm=1\r\nlShldr=1\r\n"
    "lForeArm=1\r\nrThigh=1\r\nrShin=1\r\nlThigh=1\r\nlShin=1\r\n";

// The settings with the value of `key` replaced.
inline std::string withValue(std::string settings, const std::string& key, const std::string& value) {
    std::size_t at = settings.find("\n" + key + "=") + key.size() + 2;
    return settings.replace(at, settings.find('\r', at) - at, value);
}

inline std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline void writeFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct ProgramRun {
    fs::path folder;
    DrivenProgram program;
    HWND window = nullptr;  // the capture window
    fs::path poseFile() const { return folder / "Gestalyx.pz2"; }
    // A test that stopped early leaves no program behind.
    ~ProgramRun() { DWORD status; waitForExit(program, status, 0); }
};

// Starts Gestalyx.exe in an empty folder named after the test (under `base`, or beside the tests), with the
// settings file unless null.
inline void startIn(ProgramRun& run, const char* settings, const std::wstring& argument, fs::path base = {}) {
    run.folder = base.empty() ? fs::path(directoryOfThisProgram()) / "e2e-work" : base;
    run.folder /= testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(run.folder);
    fs::create_directories(run.folder);
    if (settings != nullptr) writeFile(run.folder / "Gestalyx.ini", settings);
    ASSERT_TRUE(startProgram(run.program, directoryOfThisProgram() + L"Gestalyx.exe", argument, run.folder.wstring()));
}

// The window shows before start-up has disabled 実行 for the node check.
inline void waitForCaptureWindow(ProgramRun& run) {
    ASSERT_NE(run.window = waitForWindow(run.program, L"Gestalyx", timeoutMs), nullptr) << "no capture window";
    ASSERT_TRUE(waitUntilStarted(run.window, 5000)) << "実行 enabled before the node check";
}

// Started, with the node check over.
inline void startWhenReady(ProgramRun& run, const std::string& settings) {
    ASSERT_NO_FATAL_FAILURE(startIn(run, settings.c_str(), L"7f"));
    ASSERT_NO_FATAL_FAILURE(waitForCaptureWindow(run));
    ASSERT_TRUE(waitUntilEnabled(run.window, IDOK, timeoutMs)) << "実行 never enabled";
}

// The program's error box: its title and text; then closed.
inline void expectMessage(ProgramRun& run, const char* text) {
    MessageBoxSeen box;
    ASSERT_TRUE(waitForMessageBox(run.program, box, timeoutMs)) << "no box: " << text;
    EXPECT_EQ(box.title, L"Gestalyx");
    EXPECT_EQ(wideToUtf8(box.text), text);
    pressButton(box.window, IDOK);
    for (DWORD start = GetTickCount(); IsWindow(box.window) && GetTickCount() - start < 5000;) Sleep(20);
}

inline DWORD exitStatusOf(ProgramRun& run) {
    DWORD status = 0;
    EXPECT_TRUE(waitForExit(run.program, status, timeoutMs)) << "Gestalyx.exe did not end";
    return status;
}

// A file under tests/data as the doll, a Unix program, names it; its rows.
inline std::string dataFile(const std::string& name) { return GESTALYX_TEST_DATA "/" + name; }
inline std::vector<DataRow> dataTable(const char* name) { return readDataTable("Z:" + dataFile(name)); }

// What the solver and the writer give for the part mask, the checked parts and the row switched
// off (-1: none): for sample pose `pose`, or for the vectors of the posture file when one is named.
inline std::string expectedPoseFile(const ProgramRun& run, std::uint32_t partMask, std::uint32_t selection,
                                    int switchedOffRow, int pose, const char* posture = nullptr) {
    resetBodyPartTable();
    applyPartMask(partMask);
    samplePose = pose;
    loadSamplePose();
    static Doll doll;
    if (posture != nullptr) {
        EXPECT_EQ(loadDollPosture(doll, ("Z:" + dataFile(posture)).c_str()), 1) << dollFileMessage;
        int node = 0;
        for (BodyPart& part : bodyPartTable)
            if (part.nodeAddress != 0) std::memcpy(part.sensor, doll.nodes[node++].posture, sizeof part.sensor);
    }
    if (switchedOffRow >= 0) bodyPartTable[switchedOffRow].flags |= NoNode;
    solveSensorVectors();
    EXPECT_EQ(writePoseFile((run.folder / "expected.pz2").string().c_str(), selection), 1);
    return readFile(run.folder / "expected.pz2");
}

// 実行, then exit status 0 and the expected pose file, bar the time line
// after the program line, which differs from run to run: only its shape counts.
inline void executeAndExpect(ProgramRun& run, const std::string& expected) {
    static const std::regex time(R"((\nGestalyx ver1\.0\.0 \w+\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\n)");
    ASSERT_TRUE(pressButton(run.window, IDOK));
    EXPECT_EQ(exitStatusOf(run), 0u);
    EXPECT_EQ(std::regex_replace(readFile(run.poseFile()), time, "$1"), std::regex_replace(expected, time, "$1"));
}

// The request lines of a wire transcript under tests/data ("name | requests" a line), joined by blanks.
inline std::string transcript(const char* name) {
    std::string requests;
    for (const DataRow& row : dataTable(name)) requests += (requests.empty() ? "" : " ") + row.fields[1];
    return requests;
}

// What tools/with-virtual-doll passes on (empty without the doll): the doll's port, settings that
// name it, and the doll's log and control file as Wine sees their Unix paths (the root is drive Z:).
inline std::string dollSetting(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }
inline unsigned dollPort() { return std::atoi(dollSetting("GESTALYX_DOLL_PORT").c_str()); }
inline fs::path dollPath(const char* name) { return dollSetting(name).empty() ? "" : "Z:" + dollSetting(name); }
inline std::string onDollPort() { return withValue(standardSettings, "PortNumber", std::to_string(dollPort())); }

// Applies options to the doll, one a line as on its command line, through its control file.
inline void controlDoll(const std::string& lines) {
    fs::path control = dollPath("GESTALYX_DOLL_CONTROL");
    ASSERT_FALSE(control.empty()) << "not run through tools/with-virtual-doll";
    ASSERT_TRUE(applyDollControl(control, lines)) << "the doll did not take " << lines;
}

inline std::string dollLog() { return readFile(dollPath("GESTALYX_DOLL_LOG")); }

// The requests logged after `mark` (the log's length at some time), LF left out, joined by blanks. The doll
// writes "<ms> [<ms>] <request> -> <reply>[ <fault>]" just after the reply, maybe in parts: this waits for `count`.
inline std::string requestsSince(std::size_t mark, std::size_t count = 0) {
    static const std::regex exchange(R"([\d.]+ (?:[\d.]+ )?(\S*?)(?:\\n)? -> .*)");
    for (DWORD start = GetTickCount();; Sleep(10)) {
        std::istringstream lines(dollLog().substr(mark));
        std::string requests;
        std::size_t found = 0;
        std::smatch match;
        for (std::string line; std::getline(lines, line) && !lines.eof();)
            if (std::regex_match(line, match, exchange)) requests += (found++ == 0 ? "" : " ") + match[1].str();
        if (found >= count || GetTickCount() - start > 2000) return requests;
    }
}

// The monitor started on the doll's port (or with `settings`), its window shown.
inline void startMonitor(ProgramRun& run, HWND& window, const fs::path& base = {}, const std::string& settings = onDollPort()) {
    ASSERT_NO_FATAL_FAILURE(startIn(run, settings.c_str(), L"/monitor", base));
    window = waitForMonitorWindow(run.program, timeoutMs);
    ASSERT_NE(window, nullptr) << "no monitor window";
}

// A test of the monitor: the program and its window, which startMonitor() fills, and closing it with Esc,
// after which the mode must end with 0.
class MonitorRun : public testing::Test {
protected:
    void closeWithEscape() {
        pressEscape(window);
        EXPECT_EQ(exitStatusOf(run), 0u);
    }
    ProgramRun run;
    HWND window = nullptr;
};

// The program's message box, if one is open.
inline HWND boxOf(const ProgramRun& run) {
    MessageBoxSeen box;
    return waitForMessageBox(run.program, box, 0) ? box.window : nullptr;
}

inline std::string statusText(HWND window) { return wideToUtf8(controlText(window, IDC_MONITOR_STATUS)); }

// Waits until the status text holds `part`; the text as it was last seen.
inline std::string waitForStatus(HWND window, const std::string& part, DWORD ms = 5000) {
    std::string text;
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
        if ((text = statusText(window)).find(part) != std::string::npos) break;
    return text;
}

// Runs `call` in this process, closing each error box it shows from inside
// the box's own message loop; the texts of the boxes.
inline std::vector<std::string> errorBoxesShownBy(const std::function<void()>& call) {
    static std::vector<std::string> texts;
    texts.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        DrivenProgram self{{nullptr, nullptr, GetCurrentProcessId(), 0}};
        MessageBoxSeen box;
        if (!waitForMessageBox(self, box, 0)) return;
        texts.push_back(wideToUtf8(box.text));
        EndDialog(box.window, IDOK);
    });
    call();
    KillTimer(nullptr, timer);
    return texts;
}
