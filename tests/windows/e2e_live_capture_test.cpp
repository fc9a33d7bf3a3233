// Live capture end to end: Gestalyx.exe with [CAPTURE] Source=doll against
// the virtual doll linked as a COM port. The doll is changed between cases
// through its control file; its log shows what went over the line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <sstream>

#include "app/resource.h"
#include "model/body_parts.h"
#include "output/pose_file.h"
#include "solver/joint_angles.h"
#include "solver/sample_poses.h"
#include "tests/windows/e2e_support.h"

namespace {

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
// The file is renamed into place so that the doll never reads half of it.
void controlDoll(const std::string& options) {
    std::wstring control = windowsPath(environment("GESTALYX_DOLL_CONTROL"));
    writeFile(control + L".new", options + "\n");
    ASSERT_TRUE(MoveFileExW((control + L".new").c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING));
    for (DWORD start = GetTickCount(); fileExists(control) && GetTickCount() - start < 5000;) Sleep(20);
    ASSERT_FALSE(fileExists(control)) << "the doll did not take: " << options;
}

// The pose taken from the doll at `port`, every node fitted but `switchedOff`.
std::string liveSettings(const char* switchedOff = "", std::string port = environment("GESTALYX_DOLL_PORT")) {
    std::string settings = standardSettings;
    settings.replace(settings.find("PortNumber=3"), 12, "PortNumber=" + port);
    if (*switchedOff != '\0') {
        std::string key = std::string("\n") + switchedOff + "=";
        settings[settings.find(key) + key.size()] = '0';
    }
    return settings + "[CAPTURE]\r\nSource=doll\r\n";
}

// What the solver and the writer give, all parts selectable and checked: for
// the sample pose `pose`, or for the vectors of the posture file.
std::string expectedPoseFile(const ProgramRun& run, int pose, const char* posture, int switchedOffRow = -1) {
    resetBodyPartTable();
    applyPartMask(0x7F);
    samplePose = pose < 0 ? 0 : pose;
    loadSamplePose();
    std::istringstream lines(readFile(windowsPath(dataFile(posture))));
    std::string line, counts;
    while (std::getline(lines, line)) counts += line.substr(0, line.find('#')) + " ";
    std::istringstream numbers(counts);
    for (BodyPart& part : bodyPartTable)
        for (int i = 0; i < 6 && !(part.flags & NoNode); ++i) {
            int count = 0;
            EXPECT_TRUE(numbers >> count) << posture;
            // A sample pose's own posture file holds nothing but that pose.
            if (pose >= 0) {
                EXPECT_EQ(count, part.sensor[i]) << posture;
            }
            part.sensor[i] = static_cast<std::int8_t>(count);
        }
    if (switchedOffRow >= 0) bodyPartTable[switchedOffRow].flags |= NoNode;
    solveSensorVectors();
    std::string path = wideToUtf8(run.folder) + "\\expected.pz2";
    captureLabel = "LIVE";
    EXPECT_EQ(writePoseFile(path.c_str(), 0x3FFFF), 1);
    captureLabel = "DEMO";
    return readFile(utf8ToWide(path.c_str()));
}

// The time, on the line after the program line, differs from run to run.
std::string withoutTime(std::string poseFile) {
    std::size_t start = poseFile.find("Gestalyx ver1.0.0 LIVE\n");
    if (start != std::string::npos) {
        start = poseFile.find('\n', start) + 1;
        poseFile.erase(start, poseFile.find('\n', start) - start);
    }
    return poseFile;
}

std::wstring poseFileOf(const ProgramRun& run) { return run.folder + L"\\Gestalyx.pz2"; }

void executeAndExpect(ProgramRun& run, const std::string& expected) {
    ASSERT_TRUE(pressButton(run.window, IDOK));
    EXPECT_EQ(exitStatusOf(run), 0u);
    EXPECT_EQ(withoutTime(readFile(poseFileOf(run))), withoutTime(expected));
}

void expectMessage(ProgramRun& run, const char* text) {
    MessageBoxSeen box;
    ASSERT_TRUE(waitForMessageBox(run.program, box, windowTimeoutMs)) << text;
    EXPECT_EQ(wideToUtf8(box.text), text);
    pressButton(box.window, IDOK);
    for (DWORD start = GetTickCount(); IsWindow(box.window) && GetTickCount() - start < 5000;) Sleep(20);
}

std::string dollLog() { return readFile(windowsPath(environment("GESTALYX_DOLL_LOG"))); }

// The requests logged after the first `from` bytes, LF dropped, joined by blanks.
std::string requestsLoggedAfter(std::size_t from) {
    std::istringstream lines(dollLog().substr(from));
    std::string requests, time, request;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream(line) >> time >> request;
        if (request.ends_with("\\n")) request.resize(request.size() - 2);
        requests += " " + request;
    }
    return requests;
}

class LiveCapture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(environment("GESTALYX_DOLL_PORT").empty()) << "run under tools/with-virtual-doll";
        controlDoll("--clear-faults");
    }
};

TEST_F(LiveCapture, PoseFileHoldsTheDollsPosture) {
    const struct {
        const char* posture;
        int samplePose;  // the sample pose the posture holds, or -1
    } cases[] = {
        {"sample_pose_1.posture", 0}, {"sample_pose_2.posture", 1}, {"sample_pose_3.posture", 2},
        {"sample_pose_4.posture", 3}, {"seated.posture", -1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.posture);
        controlDoll("--posture " + dataFile(row.posture));
        ProgramRun run;
        startWhenReady(run, liveSettings().c_str(), L"7f");
        if (HasFatalFailure()) return;
        wchar_t label[8] = L"";
        GetWindowTextW(GetWindow(GetDlgItem(run.window, IDC_VERSION), GW_HWNDNEXT), label, 8);
        EXPECT_STREQ(label, L"LIVE");
        EXPECT_EQ(isEnabled(run.window, IDC_SAMPLE_POSE), 0);
        executeAndExpect(run, expectedPoseFile(run, row.samplePose, row.posture));
    }
}

// The node check clears each node's command register and reads its firmware
// version; 実行 reads its sensor vectors. rForeArm (33) is switched off.
TEST_F(LiveCapture, OnlyFittedNodesAreAskedInTableOrder) {
    controlDoll("--posture " + dataFile("seated.posture"));
    std::string nodeCheck, sensorReads;
    for (const char* node : {"20", "30", "31", "32", "34", "35", "36", "37", "38", "39"}) {
        std::string n = node;
        nodeCheck += " a" + n + "03 w" + n + "00 a" + n + "00 r" + n;
        sensorReads += " a" + n + "0d r" + n + " r" + n + " r" + n + " r" + n + " r" + n + " r" + n;
    }
    std::size_t from = dollLog().size();
    ProgramRun run;
    startWhenReady(run, liveSettings("rForeArm").c_str(), L"7f");
    if (HasFatalFailure()) return;
    executeAndExpect(run, expectedPoseFile(run, -1, "seated.posture", 8));
    EXPECT_EQ(requestsLoggedAfter(from), nodeCheck + sensorReads);
}

TEST_F(LiveCapture, NodeSilentDuringTheNodeCheckStopsIt) {
    controlDoll("--fault silent@31");
    ProgramRun run;
    startIn(run, liveSettings().c_str(), L"7f");
    waitForCaptureWindow(run);
    if (HasFatalFailure()) return;
    expectMessage(run, "頭部 (head) ノードの情報が取得できませんでした。");
    Sleep(500);  // the sequence would have gone on by now
    EXPECT_EQ(isEnabled(run.window, IDOK), 0);
    ASSERT_TRUE(pressButton(run.window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 1u);
    EXPECT_FALSE(fileExists(poseFileOf(run)));
}

// A failed read leaves an earlier pose file as it was; once the doll answers
// again, 実行 writes the file.
TEST_F(LiveCapture, SensorReadFailingAtExecuteWritesNothingUntilTheDollAnswers) {
    controlDoll("--posture " + dataFile("seated.posture"));
    ProgramRun run;
    startWhenReady(run, liveSettings().c_str(), L"7f");
    if (HasFatalFailure()) return;
    writeFile(poseFileOf(run), "earlier\n");
    controlDoll("--fault silent@36");
    ASSERT_TRUE(pressButton(run.window, IDOK));
    expectMessage(run, "右大腿部 (rThigh) ノードのセンサ値が取得できませんでした。");
    EXPECT_EQ(WaitForSingleObject(run.program.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(readFile(poseFileOf(run)), "earlier\n");
    controlDoll("--clear-faults");
    executeAndExpect(run, expectedPoseFile(run, -1, "seated.posture"));
}

TEST_F(LiveCapture, PortThatCannotBeOpenedEndsWithOne) {
    ProgramRun run;
    startIn(run, liveSettings("", "250").c_str(), L"7f");
    if (HasFatalFailure()) return;
    expectMessage(run, "仮想通信ポート (COM250) に接続できません。");
    EXPECT_EQ(exitStatusOf(run), 1u);
}

}  // namespace
