// The monitor end to end against the virtual doll: its poses saved as live capture writes them, a
// window that answers while the line is busy, and a node that stops answering or is silent from the start.
#include "monitor/monitor_frame.h"
#include "monitor/monitor_resource.h"
#include "output/bvh_file.h"
#include "tests/windows/support.h"

namespace {

class Monitor : public testing::Test {
protected:
    void SetUp() override {
        controlDoll("--clear-faults\n--posture " + dataFile("seated.posture"));
        captureLabel = "LIVE";
    }
    void TearDown() override { captureLabel = "DEMO"; }
};

// The monitor started on the doll's port, its window shown.
void startMonitor(ProgramRun& run, HWND& window) {
    ASSERT_NO_FATAL_FAILURE(startIn(run, onDollPort().c_str(), L"/monitor"));
    window = waitForMonitorWindow(run.program, timeoutMs);
    ASSERT_NE(window, nullptr) << "no monitor window";
}

std::string statusText(HWND window) { return wideToUtf8(controlText(window, IDC_MONITOR_STATUS)); }

// Waits until the status text holds `part`; the text as it was last seen.
std::string waitForStatus(HWND window, const std::string& part, DWORD ms = 5000) {
    std::string text;
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
        if ((text = statusText(window)).find(part) != std::string::npos) break;
    return text;
}

// ポーズ保存 twice: pose-001 and pose-002, each pose file as live capture writes it with every part
// ticked and each motion file as the writer gives it for that pose; the window answers any message
// within 50 ms while it streams; 閉じる ends the mode with 0.
TEST_F(Monitor, SavesThePoseAsLiveCaptureWritesIt) {
    ProgramRun run;
    HWND window;
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    EXPECT_EQ(controlText(window, IDC_SAVE_POSE), L"ポーズ保存");
    EXPECT_EQ(controlText(window, IDCANCEL), L"閉じる");
    EXPECT_NE(waitForStatus(window, " フレーム/秒").find("フレーム/秒"), std::string::npos);
    for (int i = 0; i < 40; ++i) {
        ULONGLONG start = GetTickCount64();
        DWORD_PTR result;
        EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
        EXPECT_LE(GetTickCount64() - start, 50u) << "message " << i;
        Sleep(25);
    }
    std::string expectedPose = expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0, "seated.posture");
    ASSERT_EQ(writeBvhPose((run.folder / "expected.bvh").string().c_str()), 1);
    static const std::regex time(R"((\nGestalyx ver1\.0\.0 LIVE\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\n)");
    for (const char* number : {"001", "002"}) {
        SCOPED_TRACE(number);
        std::string name = std::string("pose-") + number;
        ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
        std::string status = waitForStatus(window, name + ".pz2 と " + name + ".bvh を保存しました。");
        EXPECT_NE(status.find("を保存しました。"), std::string::npos) << status;
        EXPECT_EQ(std::regex_replace(readFile(run.folder / (name + ".pz2")), time, "$1"),
                  std::regex_replace(expectedPose, time, "$1"));
        EXPECT_EQ(readFile(run.folder / (name + ".bvh")), readFile(run.folder / "expected.bvh"));
    }
    ASSERT_TRUE(pressButton(window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 0u);
}

// A node that stops answering while the monitor streams: no message box, its name in the status text,
// ポーズ保存 writes nothing after its two seconds, and the window stays until Esc, which ends with 0.
TEST_F(Monitor, NodeThatStopsAnsweringIsNamedAndNothingIsSaved) {
    ProgramRun run;
    HWND window;
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    controlDoll("--fault silent@31");
    const std::string named = "頭部 (head) ノードのセンサ値が取得できませんでした。";
    EXPECT_NE(waitForStatus(window, named).find(named), std::string::npos) << statusText(window);
    ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
    std::string status = waitForStatus(window, "ポーズは保存していません。", 5000);
    EXPECT_NE(status.find(named + "ポーズは保存していません。"), std::string::npos) << status;
    EXPECT_FALSE(fs::exists(run.folder / "pose-001.pz2") || fs::exists(run.folder / "pose-001.bvh"));
    HWND box = FindWindowW(L"#32770", L"Gestalyx");
    DWORD boxProcess = 0;
    if (box != nullptr) GetWindowThreadProcessId(box, &boxProcess);
    EXPECT_NE(boxProcess, run.program.process.dwProcessId) << "a message box";
    EXPECT_TRUE(IsWindowVisible(window));
    pressEscape(window);
    EXPECT_EQ(exitStatusOf(run), 0u);
}

// The frames recorded so far as the status text counts them, -1 when it does not.
int recordedFrames(HWND window) {
    static const std::regex counted("記録 (\\d+) フレーム");
    std::smatch found;
    std::string text = statusText(window);
    return std::regex_search(text, found, counted) ? std::stoi(found[1]) : -1;
}

void waitForRecorded(HWND window, int frames) {
    for (DWORD start = GetTickCount(); recordedFrames(window) < frames && GetTickCount() - start < 10000;) Sleep(50);
    ASSERT_GE(recordedFrames(window), frames) << statusText(window);
}

// The frame lines of a BVH file, after its Frame Time line.
std::vector<std::string> bvhFrames(const std::string& bvh) {
    std::vector<std::string> frames;
    std::istringstream lines(bvh.substr(bvh.find("Frame Time:")));
    std::string line;
    for (std::getline(lines, line); std::getline(lines, line);) frames.push_back(line);
    return frames;
}

// A recording while a node is silent has no complete frame and saves nothing. A node that stops answering
// while recording: the recording goes on, the status names the node and counts the frames left out; closing
// the window while recording saves first, and every frame saved is a complete one, the doll's posture.
TEST_F(Monitor, RecordingLeavesOutFramesWithoutANode) {
    ProgramRun run;
    HWND window;
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    // 記録 once the window has taken a frame without head, so that no frame read before is recorded.
    const std::string named = "頭部 (head) ノードのセンサ値が取得できませんでした。";
    controlDoll("--fault silent@31");
    waitForStatus(window, named);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    waitForStatus(window, "(欠け ");
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("完全なフレームがなかったため、記録は保存していません。"), std::string::npos);
    EXPECT_EQ(controlText(window, IDC_RECORD), L"記録");
    EXPECT_FALSE(fs::exists(run.folder / "motion-001.bvh"));
    controlDoll("--clear-faults");
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_EQ(controlText(window, IDC_RECORD), L"停止");
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 3));
    controlDoll("--fault silent@31");
    EXPECT_NE(waitForStatus(window, named).find(named), std::string::npos) << statusText(window);
    EXPECT_NE(waitForStatus(window, "(欠け ").find("(欠け "), std::string::npos) << statusText(window);
    controlDoll("--clear-faults");
    int recorded = recordedFrames(window);
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recorded + 3));
    recorded = recordedFrames(window);
    pressEscape(window);
    EXPECT_EQ(exitStatusOf(run), 0u);
    expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0, "seated.posture");
    ASSERT_EQ(writeBvhPose((run.folder / "expected.bvh").string().c_str()), 1);
    const std::string pose = bvhFrames(readFile(run.folder / "expected.bvh")).at(0);
    const std::vector<std::string> frames = bvhFrames(readFile(run.folder / "motion-001.bvh"));
    EXPECT_GE(static_cast<int>(frames.size()), recorded);
    for (const std::string& frame : frames) EXPECT_EQ(frame, pose);
}

// With every name taken a recording is kept and goes on; once a name is free 停止 saves it, frames and all.
TEST_F(Monitor, RecordingThatCannotBeSavedIsKept) {
    ProgramRun run;
    HWND window;
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    char name[16];
    for (int number = 1; number <= 999; ++number) {
        std::snprintf(name, sizeof name, "motion-%03d.bvh", number);
        writeFile(run.folder / name, "");
    }
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 2));
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("すべて使われています。記録はまだ保存していません。"), std::string::npos);
    EXPECT_EQ(controlText(window, IDC_RECORD), L"停止");
    int recorded = recordedFrames(window);
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recorded + 1));
    fs::remove(run.folder / "motion-500.bvh");
    recorded = recordedFrames(window);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("motion-500.bvh に "), std::string::npos) << statusText(window);
    EXPECT_EQ(controlText(window, IDC_RECORD), L"記録");
    pressEscape(window);
    EXPECT_EQ(exitStatusOf(run), 0u);
    EXPECT_GE(static_cast<int>(bvhFrames(readFile(run.folder / "motion-500.bvh")).size()), recorded);
}

TEST_F(Monitor, NodeSilentAtTheStartIsNamedAndEndsWithOne) {
    controlDoll("--fault silent@31");
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(startIn(run, onDollPort().c_str(), L"/monitor"));
    expectMessage(run, "頭部 (head) ノードの情報が取得できませんでした。");
    EXPECT_EQ(exitStatusOf(run), 1u);
}

// The doll's frames in its log: for each node in turn the address of its vectors, then their six reads; a frame
// from its first request's arrival to its last reply's end, on the doll's clock, and its bytes on the line.
struct LoggedFrame { double start, end; int bytes; std::int8_t sensor[bodyPartCount][6]; };

std::vector<LoggedFrame> loggedFrames(const std::string& log) {
    static const std::regex exchange(R"(([\d.]+) ([\d.]+) ([ar])([0-9A-F]{2})(0[Dd])?\\n -> [AR][0-9A-F]{2}([0-9A-F]{2})?\\r\\n)");
    std::vector<LoggedFrame> frames;
    std::istringstream lines(log);
    int row = -1, nodes = 0, reads = 0;
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, match, exchange)) continue;
        const bool address = match[3] == "a";
        const int node = std::stoi(match[4], nullptr, 16);
        if (address && match[5].matched) {
            if (node == 0x20) frames.push_back({std::stod(match[1]), 0, 0, {}}), nodes = 0;
            for (row = 0; row < bodyPartCount && bodyPartTable[row].nodeAddress != node;) ++row;
            ++nodes, reads = 0;
        }
        if (frames.empty() || row >= bodyPartCount || (!address && reads >= 6)) continue;
        LoggedFrame& frame = frames.back();
        frame.end = std::stod(match[2]);
        frame.bytes += address ? 6 + 5 : 4 + 7;
        if (!address) frame.sensor[row][reads++] = static_cast<std::int8_t>(std::stoi(match[6], nullptr, 16));
    }
    if (!frames.empty() && (nodes < 11 || reads < 6)) frames.pop_back();  // the frame being read when the log was taken
    return frames;
}

// Against the doll moving through the example motion on a paced line: the recording's frames are consecutive
// frames of the doll's, first and last included, as many as the line's time allows (at least 90 %), and its
// frame time spreads the doll's time of them over them within 5 %.
TEST_F(Monitor, RecordsTheDollsMotionFrameByFrame) {
    controlDoll("--pace");
    ProgramRun run;
    HWND window;
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    waitForStatus(window, " フレーム/秒");
    // From the frame being read as the motion starts, which may be the first recorded.
    const std::string before = dollLog();
    const std::size_t mark = before.rfind('\n', before.rfind(" a200")) + 1;
    controlDoll("--motion " GESTALYX_TEST_DATA "/../../examples/wave.motion");
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    Sleep(4000);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const std::string status = waitForStatus(window, "を保存しました。");
    pressEscape(window);
    EXPECT_EQ(exitStatusOf(run), 0u);
    const std::string bvh = readFile(run.folder / "motion-001.bvh");
    const std::vector<std::string> recorded = bvhFrames(bvh);
    const int count = static_cast<int>(recorded.size());
    EXPECT_NE(status.find("motion-001.bvh に " + std::to_string(count) + " フレーム"), std::string::npos) << status;
    const double frameTime = std::stod(bvh.substr(bvh.find("Frame Time:") + 11));

    resetBodyPartTable();
    applyPartMask(0x7F);
    const std::vector<LoggedFrame> logged = loggedFrames(dollLog().substr(mark));
    std::vector<PoseFrame> solved;
    for (const LoggedFrame& frame : logged) {
        solveMonitorFrame(frame.sensor);
        takePoseFrame(solved.emplace_back());
    }
    ASSERT_EQ(writeBvhFile((run.folder / "logged.bvh").string().c_str(), solved.data(), static_cast<int>(solved.size()), 0.1), 1);
    const std::vector<std::string> doll = bvhFrames(readFile(run.folder / "logged.bvh"));
    auto first = std::search(doll.begin(), doll.end(), recorded.begin(), recorded.end());
    ASSERT_TRUE(count > 1 && first != doll.end()) << count << " frames recorded, not the doll's frames in a row";
    const LoggedFrame& start = logged[first - doll.begin()];
    const LoggedFrame& end = logged[first - doll.begin() + count - 1];
    const double seconds = (end.end - start.start) / 1000, lineSeconds = start.bytes * 10 / 38400.0;
    EXPECT_GE(count, 0.9 * seconds / lineSeconds) << seconds << " s, " << lineSeconds << " s a frame on the line";
    EXPECT_NEAR(count * frameTime, seconds, 0.05 * seconds);
}

}  // namespace
