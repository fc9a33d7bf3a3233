// Live capture end to end: Gestalyx.exe with [CAPTURE] Source=doll against the virtual doll linked as a
// COM port, changed between cases through its control file; its log shows what went over the line.
#include "app/resource.h"
#include "tests/windows/support.h"

namespace {

// Every node fitted but `switchedOff`, on the doll's port.
std::string liveSettings(const char* switchedOff = nullptr) {
    std::string settings = onDollPort() + "[CAPTURE]\r\nSource=doll\r\n";
    return switchedOff != nullptr ? withValue(settings, switchedOff, "0") : settings;
}

class LiveCapture : public testing::Test {
protected:
    void SetUp() override {
        controlDoll("--clear-faults");
        captureLabel = "LIVE";  // in the program line of the pose files expected
    }
    void TearDown() override { captureLabel = "DEMO"; }
};

// The doll holding a sample pose's vectors gives the pose file of that sample pose, bar the program line.
TEST_F(LiveCapture, DollHoldingASamplePoseGivesThatPosesFile) {
    for (int pose = 0; pose < samplePoseCount; ++pose) {
        std::string posture = "sample_pose_" + std::to_string(pose + 1) + ".posture";
        SCOPED_TRACE(posture);
        controlDoll("--posture " + dataFile(posture));
        ProgramRun run;
        ASSERT_NO_FATAL_FAILURE(startWhenReady(run, liveSettings()));
        EXPECT_NE(FindWindowExW(run.window, nullptr, L"Static", L"LIVE"), nullptr) << "the label beside the version";
        EXPECT_EQ(isEnabled(run.window, IDC_SAMPLE_POSE), 0);
        executeAndExpect(run, expectedPoseFile(run, 0x7F, 0x3FFFF, -1, pose));
    }
}

TEST_F(LiveCapture, NodeSilentDuringTheNodeCheckStopsIt) {
    controlDoll("--fault silent@31");
    ProgramRun run;
    startIn(run, liveSettings().c_str(), L"7f");
    ASSERT_NO_FATAL_FAILURE(waitForCaptureWindow(run));
    expectMessage(run, "頭部 (head) ノードの情報が取得できませんでした。");
    Sleep(500);  // the check would have gone on by now
    EXPECT_EQ(isEnabled(run.window, IDOK), 0);
    ASSERT_TRUE(pressButton(run.window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 1u);
}

// The node check and 実行 ask only the fitted nodes, in table order. A failed read leaves an earlier pose
// file as it was and the program running; once the doll answers again, 実行 writes what the solver gives.
TEST_F(LiveCapture, SensorReadFailingAtExecuteWritesNothingUntilTheDollAnswers) {
    controlDoll("--posture " + dataFile("seated.posture"));
    std::size_t mark = dollLog().size();
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(startWhenReady(run, liveSettings("rForeArm")));
    writeFile(run.poseFile(), "earlier\n");
    controlDoll("--fault silent@36");
    ASSERT_TRUE(pressButton(run.window, IDOK));
    expectMessage(run, "右大腿部 (rThigh) ノードのセンサ値が取得できませんでした。");
    EXPECT_EQ(WaitForSingleObject(run.program.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(readFile(run.poseFile()), "earlier\n");
    controlDoll("--clear-faults");
    executeAndExpect(run, expectedPoseFile(run, 0x7F, 0x3FFFF, 8, 0, "seated.posture"));
    EXPECT_EQ(requestsSince(mark), transcript("live_capture_requests.txt"));
}

// One reply lost after the node acted, in each kind of exchange live capture makes: the attempt is
// repeated after the address exchange that sets the pointer again, so the pose file is exactly the
// posture's and the exit status 0; the wire shows the address exchange only where the reply was lost.
TEST_F(LiveCapture, ALostReplyIsRepeatedOnItsOwnRegister) {
    const struct { const char *lost, *requests; } cases[] = {
        {"lost@w2000", "a2003 w2000 a2003 w2000 a2000 r20 a3003"},      // the command write of the node check
        {"lost-garbage@r30", "a3000 r30 a3000 r30 a3103"},               // a firmware read of the node check
        {"lost-cut@r31,3", "a310d r31 r31 a310e r31 r31 r31 r31 r31 a320d"},  // head's second sensor-vector read
    };
    controlDoll("--posture " + dataFile("seated.posture"));
    for (const auto& row : cases) {
        SCOPED_TRACE(row.lost);
        controlDoll(std::string("--fault-once ") + row.lost);
        std::size_t mark = dollLog().size();
        ProgramRun run;
        ASSERT_NO_FATAL_FAILURE(startWhenReady(run, liveSettings()));
        executeAndExpect(run, expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0, "seated.posture"));
        std::string requests = " " + requestsSince(mark);
        EXPECT_NE(requests.find(row.requests), std::string::npos) << requests;
        std::ptrdiff_t addresses = 0;
        for (std::size_t at = 0; (at = requests.find(" a", at)) != std::string::npos; ++at) ++addresses;
        EXPECT_EQ(addresses, 11 * 2 + 11 + 1) << "two per node check, one per read of the vectors, and one more";
    }
}

}  // namespace
