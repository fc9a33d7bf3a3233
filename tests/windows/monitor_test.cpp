// The monitor end to end against the virtual doll: its poses saved as live capture writes them, a
// window that answers while the line is busy, and a node that stops answering or is silent from the start.
#include "monitor/monitor_frame.h"

#include <cmath>
#include <numbers>

#include "monitor/monitor_resource.h"
#include "output/bvh_file.h"
#include "tests/common/bvh_read.h"
#include "tests/common/turned_doll.h"
#include "tests/windows/support.h"
#include "tools/virtual-doll/doll_motion.h"

namespace {

class Monitor : public MonitorRun {
protected:
    void SetUp() override {
        controlDoll("--clear-faults\n--posture " + dataFile("seated.posture"));
        captureLabel = "LIVE";
    }
    void TearDown() override { captureLabel = "DEMO"; }
};

// Each node's world rotation in tests/data/turned.posture, in table order of the nodes: degrees about an axis.
struct NodeTurn { double axis[3]; double degrees; };
constexpr NodeTurn heldTurns[] = {
    {{0, 1, 0}, 20},  {{0.3, 1, 0.2}, 50}, {{1, 0.5, 0}, 40},  {{0.2, 0.3, 1}, 70}, {{0.1, 1, 0.3}, 80},
    {{0.2, -0.3, 1}, -60}, {{0, 1, -0.3}, -70}, {{1, 0, 0.2}, -80}, {{1, 0.1, 0}, -20}, {{1, -0.1, 0}, -40},
    {{1, 0, 0}, 30}};

// ポーズ保存 twice of a held posture: pose-001 and pose-002, each pose file as live capture writes it with
// every part ticked, and each motion file's node parts, by the plain BVH rules, within 1.0 degree of the
// doll's; the window answers any message within 50 ms while it streams; 閉じる ends the mode with 0.
TEST_F(Monitor, SavesThePoseAsLiveCaptureWritesIt) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    controlDoll("--posture " + dataFile("turned.posture"));
    EXPECT_EQ(controlText(window, IDC_SAVE_POSE), L"ポーズ保存");
    EXPECT_EQ(controlText(window, IDCANCEL), L"閉じる");
    EXPECT_NE(waitForStatus(window, " フレーム/秒").find("フレーム/秒"), std::string::npos);
    // Also long enough for the frame being read as the posture changed to have gone.
    for (int i = 0; i < 40; ++i) {
        ULONGLONG start = GetTickCount64();
        DWORD_PTR result;
        EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
        EXPECT_LE(GetTickCount64() - start, 50u) << "message " << i;
        Sleep(25);
    }
    std::string expectedPose = expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0, "turned.posture");
    static const std::regex time(R"((\nGestalyx ver1\.0\.0 LIVE\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\n)");
    for (const char* number : {"001", "002"}) {
        SCOPED_TRACE(number);
        std::string name = std::string("pose-") + number;
        ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
        std::string status = waitForStatus(window, name + ".pz2 と " + name + ".bvh を保存しました。");
        EXPECT_NE(status.find("を保存しました。"), std::string::npos) << status;
        EXPECT_EQ(std::regex_replace(readFile(run.folder / (name + ".pz2")), time, "$1"),
                  std::regex_replace(expectedPose, time, "$1"));
        const std::vector<Rotation> parts = partRotations(readBvh((run.folder / (name + ".bvh")).string()), 0);
        for (int row = 0, node = 0; row < bodyPartCount; ++row) {
            if (bodyPartTable[row].nodeAddress == 0) continue;
            const NodeTurn& turn = heldTurns[node++];
            EXPECT_LT(angleBetween(parts.at(row), turned(turn.axis, turn.degrees)) / degree, 1.0) << bodyPartTable[row].name;
        }
    }
    ASSERT_TRUE(pressButton(window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 0u);
}

// A node that stops answering while the monitor streams: no message box, its name in the status text,
// ポーズ保存 writes nothing after its two seconds, and the window stays until Esc, which ends with 0.
TEST_F(Monitor, NodeThatStopsAnsweringIsNamedAndNothingIsSaved) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    controlDoll("--fault silent@31");
    const std::string named = "頭部 (head) ノードのセンサ値が取得できませんでした。";
    EXPECT_NE(waitForStatus(window, named).find(named), std::string::npos) << statusText(window);
    ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
    std::string status = waitForStatus(window, "ポーズは保存していません。", 5000);
    EXPECT_NE(status.find(named + "ポーズは保存していません。"), std::string::npos) << status;
    EXPECT_FALSE(fs::exists(run.folder / "pose-001.pz2") || fs::exists(run.folder / "pose-001.bvh"));
    EXPECT_EQ(boxOf(run), nullptr) << "a message box";
    EXPECT_TRUE(IsWindowVisible(window));
    closeWithEscape();
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

// A recording while a node is silent has no complete frame and saves nothing. A node that stops answering
// while recording: the recording goes on, the status names the node and counts the frames left out; 停止
// saves frames across the gap, names it and counts the frames saved, each the doll's held posture.
// Closing the window while recording saves first.
TEST_F(Monitor, RecordingLeavesOutFramesWithoutANode) {
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
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recordedFrames(window) + 3));
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const std::string status = statusText(window);
    static const std::regex saved("motion-001\\.bvh に (\\d+) フレーム \\(30 フレーム/秒、[\\d.]+ 秒\\) を保存しました。"
                                  "欠けたフレーム \\d+ は除きました。[\\d.]+ 秒目から [\\d.]+ 秒間、読み取りが欠けていたので補間しました。");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(status, found, saved)) << status;
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 2));
    closeWithEscape();
    EXPECT_TRUE(fs::exists(run.folder / "motion-002.bvh"));
    // The doll held its posture: every frame is the first.
    const BvhRead bvh = readBvh((run.folder / "motion-001.bvh").string());
    EXPECT_EQ(bvh.frames, std::stoi(found[1]));
    for (std::size_t k = bvh.values; k < bvh.motion.size(); ++k)
        EXPECT_NEAR(bvh.motion[k], bvh.motion[k % bvh.values], 2e-6);
}

// With every name taken a recording is kept and goes on; once a name is free 停止 saves it, frames and all:
// its frames span the time from 記録 to 停止.
TEST_F(Monitor, RecordingThatCannotBeSavedIsKept) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    char name[16];
    for (int number = 1; number <= 999; ++number) {
        std::snprintf(name, sizeof name, "motion-%03d.bvh", number);
        writeFile(run.folder / name, "");
    }
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 2));
    Sleep(1000);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("すべて使われています。記録はまだ保存していません。"), std::string::npos);
    EXPECT_EQ(controlText(window, IDC_RECORD), L"停止");
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recordedFrames(window) + 1));
    fs::remove(run.folder / "motion-500.bvh");
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const double seconds = (GetTickCount64() - start) / 1000.0;
    const std::string status = statusText(window);
    EXPECT_NE(status.find("motion-500.bvh に "), std::string::npos) << status;
    EXPECT_EQ(controlText(window, IDC_RECORD), L"記録");
    closeWithEscape();
    const int frames = readBvh((run.folder / "motion-500.bvh").string()).frames;
    EXPECT_NE(status.find(" に " + std::to_string(frames) + " フレーム"), std::string::npos) << status;
    EXPECT_GE(frames / 30.0, seconds - 0.2) << frames << " frames in " << seconds << " s";
}

TEST_F(Monitor, NodeSilentAtTheStartIsNamedAndEndsWithOne) {
    controlDoll("--fault silent@31");
    ASSERT_NO_FATAL_FAILURE(startIn(run, onDollPort().c_str(), L"/monitor"));
    expectMessage(run, "頭部 (head) ノードの情報が取得できませんでした。");
    EXPECT_EQ(exitStatusOf(run), 1u);
}

// The doll's frames in its log: for each node in turn the address of its vectors, then their six reads; a
// node's reading at the middle of those seven exchanges, from its request's arrival to its last reply's end,
// on the doll's clock (milliseconds), and its counts.
struct LoggedFrame { double readAt[bodyPartCount]; std::int8_t sensor[bodyPartCount][6]; };

std::vector<LoggedFrame> loggedFrames(const std::string& log) {
    static const std::regex exchange(R"(([\d.]+) ([\d.]+) ([ar])([0-9A-F]{2})(0[Dd])?\\n -> [AR][0-9A-F]{2}([0-9A-F]{2})?\\r\\n)");
    std::vector<LoggedFrame> frames;
    std::istringstream lines(log);
    int row = -1, nodes = 0, reads = 0;
    double start = 0;
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, match, exchange)) continue;
        const bool address = match[3] == "a";
        const int node = std::stoi(match[4], nullptr, 16);
        if (address && match[5].matched) {
            if (node == 0x20) frames.push_back({}), nodes = 0;
            for (row = 0; row < bodyPartCount && bodyPartTable[row].nodeAddress != node;) ++row;
            ++nodes, reads = 0, start = std::stod(match[1]);
        }
        if (frames.empty() || row >= bodyPartCount || address || reads >= 6) continue;
        frames.back().sensor[row][reads++] = static_cast<std::int8_t>(std::stoi(match[6], nullptr, 16));
        if (reads == 6) frames.back().readAt[row] = (start + std::stod(match[2])) / 2;
    }
    if (!frames.empty() && (nodes < 11 || reads < 6)) frames.pop_back();  // the frame being read when the log was taken
    return frames;
}

// Against the doll turning every node slowly on a paced line, recorded at 30 frames a second: Frame Time
// 0.033333; the first frame at the instant the last node (lShin) was read in the first frame recorded, as the
// doll's log gives it, and the frames, one each 1/30 s, as long as the doll's time to the hip's reading in
// the last frame recorded, within a frame; every frame's node parts, by the plain BVH rules, within 1.5 degrees
// of the doll's posture at its instant.
TEST_F(Monitor, RecordsTheDollsMotionAtTheFrameRate) {
    controlDoll("--pace");
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    waitForStatus(window, " フレーム/秒");
    const std::string motionFile = GESTALYX_TEST_DATA "/slow_turns.motion";
    controlDoll("--motion " + motionFile);
    Sleep(1000);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    Sleep(5000);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const std::string log = dollLog();
    const std::string status = waitForStatus(window, "を保存しました。");
    closeWithEscape();
    const BvhRead bvh = readBvh((run.folder / "motion-001.bvh").string());
    EXPECT_NE(status.find("motion-001.bvh に " + std::to_string(bvh.frames) + " フレーム (30 フレーム/秒"),
              std::string::npos) << status;
    EXPECT_EQ(bvh.time, 0.033333);

    resetBodyPartTable();
    applyPartMask(0x7F);
    static const std::regex started(R"(# motion: .*, from ([\d.]+))");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(log, match, started));
    const double motionStart = std::stod(match[1]);
    const std::vector<LoggedFrame> logged = loggedFrames(log.substr(match.position()));
    // The first frame recorded: the one whose lShin reading the first output frame shows exactly.
    const Rotation firstLShin = partRotations(bvh, 0).at(17);
    auto offFirst = [&](const LoggedFrame& frame) { return angleBetween(sensorRotation(17, frame.sensor[17]), firstLShin); };
    const auto first = std::min_element(logged.begin(), logged.end(),
                                        [&](const auto& a, const auto& b) { return offFirst(a) < offFirst(b); });
    ASSERT_LT(offFirst(*first) / degree, 0.01);
    const double firstInstant = first->readAt[17];
    // The last frame recorded is one of the last two complete in the log taken at 停止 (one may have been
    // on its way to the window); its hip reading ends the frames.
    EXPECT_TRUE(std::any_of(logged.end() - 2, logged.end(), [&](const LoggedFrame& last) {
        const double seconds = (last.readAt[0] - firstInstant) / 1000;
        return seconds >= (bvh.frames - 1) / 30.0 - 0.005 && seconds < bvh.frames / 30.0 + 0.005;
    })) << bvh.frames << " frames from " << firstInstant;
    static DollMotion motion;
    ASSERT_EQ(loadDollMotion(motion, ("Z:" + motionFile).c_str()), 1) << dollFileMessage;
    static Doll doll;
    double worst = 0;
    for (int f = 0; f < bvh.frames; ++f) {
        poseDollAt(doll, motion, (firstInstant - motionStart) / 1000 + f / 30.0);
        const std::vector<Rotation> parts = partRotations(bvh, f);
        for (int row = 0, node = 0; row < bodyPartCount; ++row)
            if (bodyPartTable[row].nodeAddress != 0)
                worst = std::max(worst, angleBetween(parts.at(row), sensorRotation(row, doll.nodes[node++].posture)));
    }
    EXPECT_LT(worst / degree, 1.5);
    std::printf("%d frames at 30 a second; node parts within %.2f degrees of the doll\n", bvh.frames, worst / degree);
}

// ---- Takes kept whatever happens ----

// The monitor started in a folder on the small disk of tools/with-small-folder, which a test fills as a
// full disk is; skipped where no such disk could be mounted.
class MonitorOnSmallDisk : public Monitor {
protected:
    void SetUp() override {
        const fs::path small = dollPath("GESTALYX_SMALL_FOLDER");
        if (small.empty()) GTEST_SKIP() << "no small disk: tools/with-small-folder could not mount one";
        Monitor::SetUp();
        ASSERT_NO_FATAL_FAILURE(startMonitor(run, window, small));
    }
};

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The frames left out so far as the status text counts them, 0 when it shows none.
int leftOutFrames(HWND window) {
    static const std::regex counted("\\(欠け (\\d+)\\)");
    std::smatch found;
    std::string text = statusText(window);
    return std::regex_search(text, found, counted) ? std::stoi(found[1]) : 0;
}

// ポーズ保存 into a full disk: the status says why, and no file is left, not even a temporary one. With room
// again the next save is pose-001, whole, as live capture writes it.
TEST_F(MonitorOnSmallDisk, FailedPoseSaveLeavesNothingAndTheNextSaveIsWhole) {
    controlDoll("--posture " + dataFile("turned.posture"));
    waitForStatus(window, " フレーム/秒");
    Sleep(1500);  // the frame being read as the posture changed has gone
    fillDisk(run.folder);
    ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
    const std::string failed = waitForStatus(window, "できませんでした。");
    EXPECT_NE(failed.find("ポーズを保存できませんでした。一時ファイル (pose-001.pz2) に書き込めません。"), std::string::npos) << failed;
    EXPECT_EQ(filesIn(run.folder), (std::vector<std::string>{"Gestalyx.ini", "filler"}));
    fs::remove(run.folder / "filler");
    ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
    const std::string saved = waitForStatus(window, "pose-001.pz2 と pose-001.bvh を保存しました。");
    EXPECT_NE(saved.find("pose-001.pz2 と pose-001.bvh を保存しました。"), std::string::npos) << saved;
    static const std::regex time(R"((\nGestalyx ver1\.0\.0 LIVE\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\n)");
    EXPECT_EQ(std::regex_replace(readFile(run.folder / "pose-001.pz2"), time, "$1"),
              std::regex_replace(expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0, "turned.posture"), time, "$1"));
    closeWithEscape();
}

// 停止 into a full disk keeps the recording and leaves no file; with room again 停止 saves it as motion-001.
TEST_F(MonitorOnSmallDisk, FailedRecordingSaveLeavesNothingAndIsKept) {
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 3));
    fillDisk(run.folder);
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("記録を保存できませんでした。BVHファイル (motion-001.bvh) に書き込めません。停止 でもう一度保存します。"),
              std::string::npos) << statusText(window);
    EXPECT_EQ(filesIn(run.folder), (std::vector<std::string>{"Gestalyx.ini", "filler"}));
    fs::remove(run.folder / "filler");
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    EXPECT_NE(statusText(window).find("motion-001.bvh に "), std::string::npos) << statusText(window);
    EXPECT_GE(readBvh((run.folder / "motion-001.bvh").string()).frames, 1);
    closeWithEscape();
}

// A save that fails while recording a motion opens no box; the recording's frames stay in the doll's order
// (the fastest turning node, rForeArm, only ever turns further from rest), with no gap and none left out.
TEST_F(MonitorOnSmallDisk, FailedSaveWhileRecordingKeepsTheFramesInOrder) {
    controlDoll("--motion " + dataFile("slow_turns.motion"));
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 3));
    fillDisk(run.folder);
    ASSERT_TRUE(pressButton(window, IDC_SAVE_POSE));
    Sleep(1500);
    const HWND box = boxOf(run);
    if (box != nullptr) pressButton(box, IDOK);
    EXPECT_EQ(box, nullptr) << "a message box while frames are taken";
    EXPECT_NE(waitForStatus(window, "できませんでした。").find("ポーズを保存できませんでした。"), std::string::npos);
    fs::remove(run.folder / "filler");
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recordedFrames(window) + 3));
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const std::string status = statusText(window);
    EXPECT_NE(status.find("motion-001.bvh に "), std::string::npos) << status;
    EXPECT_EQ(status.find("欠けたフレーム"), std::string::npos) << status;
    EXPECT_EQ(status.find("補間しました"), std::string::npos) << status;
    closeWithEscape();
    const BvhRead bvh = readBvh((run.folder / "motion-001.bvh").string());
    int row = 0;
    while (std::strcmp(bodyPartTable[row].name, "rForeArm") != 0) ++row;
    double furthest = 0;
    for (int f = 0; f < bvh.frames; ++f) {
        const double turned = angleBetween(partRotations(bvh, f).at(row), identityRotation) / degree;
        EXPECT_GT(turned, furthest - 1.5) << "frame " << f;
        furthest = std::max(furthest, turned);
    }
}

// Logging off while recording: once Windows has asked and ended the session, the process may be ended at
// any moment, and the recording is already saved, every frame from 記録 on.
TEST_F(Monitor, SavesTheRecordingWhenTheSessionEnds) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 3));
    Sleep(1000);
    DWORD_PTR agreed = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &agreed), 0);
    EXPECT_EQ(agreed, static_cast<DWORD_PTR>(TRUE));
    const double seconds = (GetTickCount64() - start) / 1000.0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, nullptr), 0);
    TerminateProcess(run.program.process.hProcess, 0);
    ASSERT_TRUE(fs::exists(run.folder / "motion-001.bvh"));
    const int frames = readBvh((run.folder / "motion-001.bvh").string()).frames;
    EXPECT_GE(frames / 30.0, seconds - 0.8) << frames << " frames in " << seconds << " s";
}

// Every node silent: 閉じる ends the mode within half a second, whatever the line is doing.
TEST_F(Monitor, ClosesAtOnceWhileEveryNodeIsSilent) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    waitForStatus(window, " フレーム/秒");
    controlDoll("--fault silent");
    waitForStatus(window, "ノードのセンサ値が取得できませんでした。");
    Sleep(700);  // inside a node's failing reads
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(pressButton(window, IDCANCEL));
    DWORD status = 1;
    EXPECT_TRUE(waitForExit(run.program, status, 5000));
    std::printf("閉じる to the end of the mode: %llu ms\n", GetTickCount64() - start);
    EXPECT_LE(GetTickCount64() - start, 500u);
    EXPECT_EQ(status, 0u);
}

// The doll unplugged, then silenced, while recording: the status says the connection is lost, the reader
// asks a few times a second at most, and when the doll is back (on a new line, or on the same) the stream
// goes on by itself. The recording keeps its frames and counts the time without the doll as left out.
TEST_F(Monitor, GoesOnByItselfWhenTheDollComesBack) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, 3));
    for (const char* pull : {"--unplug 3", "--fault silent"}) {
        SCOPED_TRACE(pull);
        controlDoll(pull);
        const std::string lost = waitForStatus(window, "ドールとの接続が切れました。", 20000);
        EXPECT_NE(lost.find("ドールとの接続が切れました。つながるのを待っています。"), std::string::npos) << lost;
        const int leftOut = leftOutFrames(window), recorded = recordedFrames(window);
        Sleep(2000);
        EXPECT_LE(leftOutFrames(window) - leftOut, 8) << "attempts in 2 s";
        EXPECT_EQ(recordedFrames(window), recorded);
        if (std::strcmp(pull, "--fault silent") == 0) controlDoll("--clear-faults");
        const std::string back = waitForStatus(window, "ドールとの接続が戻りました。", 10000);
        EXPECT_NE(back.find("ドールとの接続が戻りました。"), std::string::npos) << back;
        ASSERT_NO_FATAL_FAILURE(waitForRecorded(window, recorded + 3));
    }
    ASSERT_TRUE(clickButton(window, IDC_RECORD));
    const std::string saved = statusText(window);
    EXPECT_NE(saved.find("motion-001.bvh に "), std::string::npos) << saved;
    EXPECT_NE(saved.find("補間しました。"), std::string::npos) << saved;
    closeWithEscape();
}

// At 200 % display scaling (192 dpi) the smallest window still holds every control and a status text at
// least as wide as a button.
TEST_F(Monitor, SmallestWindowHoldsEveryControlAt192Dpi) {
    HKEY desktop;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &desktop, nullptr), ERROR_SUCCESS);
    const DWORD dpi = 192;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    startMonitor(run, window);
    RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client, button;
    GetClientRect(window, &client);
    GetWindowRect(GetDlgItem(window, IDCANCEL), &button);
    EXPECT_GE(button.bottom - button.top, 40) << "the buttons are not at 192 dpi";
    for (int id : {IDC_RECORD, IDC_SAVE_POSE, IDCANCEL, IDC_MONITOR_STATUS}) {
        RECT control;
        GetWindowRect(GetDlgItem(window, id), &control);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control), 2);
        EXPECT_TRUE(control.left >= 0 && control.top >= 0 && control.right <= client.right && control.bottom <= client.bottom)
            << "control " << id << " at " << control.left << "," << control.top << "-" << control.right << ","
            << control.bottom << " in " << client.right << "x" << client.bottom;
        if (id == IDC_MONITOR_STATUS) {
            EXPECT_GE(control.right - control.left, button.right - button.left);
        }
    }
    closeWithEscape();
}

}  // namespace
