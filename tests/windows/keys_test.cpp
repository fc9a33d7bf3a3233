// Pose by pose against the virtual doll with noise: a key taken only once the doll stands still, its motion
// and pose file, and the keys file that outlives the program.
#include <cmath>
#include <numbers>

#include "monitor/keys.h"
#include "tests/common/bvh_read.h"
#include "tests/common/posture_file.h"
#include "tests/common/turned_doll.h"
#include "tests/windows/support.h"

namespace {

class MonitorKeys : public MonitorRun {
protected:
    // At the line's own pace: 4.5 frames a second, so that a doll moved by hand moves between frames.
    void SetUp() override { controlDoll("--clear-faults\n--pace\n--noise 2\n--posture " + dataFile("seated.posture")); }
    void TearDown() override { controlDoll("--no-pace\n--noise 0"); }
};

// Space as a pedal types it, on 記録, which has the focus: the key is asked for and 記録 is not pressed.
void pressSpace(HWND window) {
    HWND focused = GetDlgItem(window, IDC_RECORD);
    PostMessageW(focused, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(focused, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001));
}

void setHold(HWND window, int frames) { SetWindowTextW(GetDlgItem(window, IDC_KEY_HOLD_EDIT), std::to_wstring(frames).c_str()); }

// Waits for the status text to say key `number` was taken.
void waitForKey(HWND window, int number, DWORD ms = 15000) {
    const std::string taken = "キー " + std::to_string(number) + " を取りました。";
    ASSERT_NE(waitForStatus(window, taken, ms).find(taken), std::string::npos) << statusText(window);
}

}  // namespace

// Space while the doll is moved: the key comes once it stands still, not before. 取消 takes a key back. Keys
// of three held postures with holds 12, 6 and 12 are written as 31 frames; at frames 0, 12 and 18 the node
// parts lie within 0.5 degrees (rms) of the postures' own, and the pose file has each channel's three keys.
TEST_F(MonitorKeys, TakesKeysOfAStillDollAndWritesThem) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    EXPECT_EQ(controlText(window, IDC_KEY_HOLD_EDIT), L"12");
    controlDoll("--motion " + dataFile("three_holds.motion"));
    const ULONGLONG moved = GetTickCount64();
    Sleep(500);
    pressSpace(window);
    EXPECT_NE(waitForStatus(window, "静止するのを待っています", 1000).find("ドールが静止するのを待っています。"),
              std::string::npos);
    ASSERT_NO_FATAL_FAILURE(waitForKey(window, 1));
    EXPECT_GE(GetTickCount64() - moved, 2000u + 31 * 200) << "a key before the doll stood still for 32 frames";
    EXPECT_LT(GetTickCount64() - moved, 11000u) << "the key once the doll moved again";
    EXPECT_EQ(controlText(window, IDC_RECORD), L"記録");
    pressSpace(window);  // still for long enough: at once
    ASSERT_NO_FATAL_FAILURE(waitForKey(window, 2, 1000));
    ASSERT_TRUE(pressButton(window, IDC_UNDO_KEY));
    EXPECT_NE(waitForStatus(window, "キー 2 を取り消しました。").find("キー 1 (0.4 秒)"), std::string::npos);
    const struct { int hold; DWORD at; } later[] = {{6, 20000}, {12, 30000}};
    for (int k = 0; k < 2; ++k) {
        setHold(window, later[k].hold);
        while (GetTickCount64() - moved < later[k].at) Sleep(50);
        pressSpace(window);
        ASSERT_NO_FATAL_FAILURE(waitForKey(window, k + 2, 1000));
    }
    ASSERT_TRUE(pressButton(window, IDC_EXPORT_KEYS));
    EXPECT_NE(waitForStatus(window, "書き出しました").find("keys-001.bvh と keys-001.pz2 に書き出しました (キー 3、31 フレーム)。"),
              std::string::npos) << statusText(window);

    const BvhRead bvh = readBvh((run.folder / "keys-001.bvh").string());
    ASSERT_EQ(bvh.frames, 31);
    const struct { int frame; const char* posture; } keys[] = {
        {0, "turned.posture"}, {12, "sample_pose_1.posture"}, {18, "sample_pose_3.posture"}};
    double squares = 0;
    int nodes = 0;
    for (const auto& key : keys) {
        std::int8_t counts[bodyPartCount][6];
        loadPosture(key.posture, counts);
        const std::vector<Rotation> parts = partRotations(bvh, key.frame);
        for (int row = 0; row < bodyPartCount; ++row)
            if (bodyPartTable[row].nodeAddress != 0) {
                squares += std::pow(angleBetween(parts.at(row), sensorRotation(row, counts[row])) / degree, 2);
                ++nodes;
            }
    }
    const auto frame = [&](int f) { return std::vector<double>(&bvh.motion[f * bvh.values], &bvh.motion[(f + 1) * bvh.values]); };
    EXPECT_EQ(frame(30), frame(18)) << "frame 30 holds the last key";
    std::printf("keys' node parts off the held postures: rms %.2f degrees\n", std::sqrt(squares / nodes));
    EXPECT_LT(std::sqrt(squares / nodes), 0.5);
    const std::string pose = readFile(run.folder / "keys-001.pz2");
    const auto lines = [&](const char* key) {
        const std::regex pattern(key);
        return std::distance(std::sregex_iterator(pose.begin(), pose.end(), pattern), std::sregex_iterator());
    };
    EXPECT_TRUE(lines("\\tk  0  ") > 50 && lines("\\tk  12  ") == lines("\\tk  0  ") &&
                lines("\\tk  18  ") == lines("\\tk  0  ") && lines("\\tk  ") == 3 * lines("\\tk  0  "));
    ASSERT_TRUE(pressButton(window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(run), 0u);
}

// The program ended from outside after two keys: keys-001.keys holds both, and the next start in the folder
// offers them; はい goes on with them, the next key numbered 3. A hold of 0 takes no key. Started on a keys
// file that cannot be read, the monitor says why and ends with 1.
TEST_F(MonitorKeys, KeysOutliveTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startMonitor(run, window));
    setHold(window, 0);
    pressSpace(window);
    EXPECT_NE(waitForStatus(window, "保持は").find("保持は 1 から 9999 フレームで指定してください。"), std::string::npos);
    setHold(window, 12);
    pressSpace(window);
    ASSERT_NO_FATAL_FAILURE(waitForKey(window, 1));
    pressSpace(window);
    ASSERT_NO_FATAL_FAILURE(waitForKey(window, 2, 1000));
    TerminateProcess(run.program.process.hProcess, 0);
    DWORD status;
    ASSERT_TRUE(waitForExit(run.program, status, timeoutMs));
    Key keys[3];
    int count = 0;
    EXPECT_TRUE(readKeysFile((run.folder / "keys-001.keys").string().c_str(), keys, 3, count) && count == 2);

    ProgramRun again;
    again.folder = run.folder;
    ASSERT_TRUE(startProgram(again.program, directoryOfThisProgram() + L"Gestalyx.exe", L"/monitor", run.folder.wstring()));
    MessageBoxSeen box;
    ASSERT_TRUE(waitForMessageBox(again.program, box, timeoutMs));
    EXPECT_EQ(wideToUtf8(box.text), "書き出していないキーが keys-001.keys に 2 あります。続けますか？");
    ASSERT_TRUE(pressButton(box.window, IDYES));
    window = waitForMonitorWindow(again.program, timeoutMs);
    EXPECT_NE(waitForStatus(window, "続けます").find("キー 2 (0.8 秒)　keys-001.keys のキー 2 を続けます。"), std::string::npos);
    pressSpace(window);
    ASSERT_NO_FATAL_FAILURE(waitForKey(window, 3));
    ASSERT_TRUE(pressButton(window, IDCANCEL));
    EXPECT_EQ(exitStatusOf(again), 0u);
    EXPECT_TRUE(readKeysFile((run.folder / "keys-001.keys").string().c_str(), keys, 3, count) && count == 3);

    writeFile(run.folder / "bad.keys", "# Gestalyx keys\nkey 1 hold 0\n");
    ProgramRun bad;
    ASSERT_TRUE(startProgram(bad.program, directoryOfThisProgram() + L"Gestalyx.exe", L"/monitor bad.keys", run.folder.wstring()));
    expectMessage(bad, "キーファイル (bad.keys) を読めません。2 行目: 「key 1 hold <1 から 9999>」が必要です。");
    EXPECT_EQ(exitStatusOf(bad), 1u);
}
