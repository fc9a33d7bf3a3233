// The live link against oscdump, an OSC receiver we did not write (tools/with-oscdump), while the paced virtual
// doll holds a posture: every message of every bundle, the rate, the figure it rebuilds, the 送信 box, the
// settings and the status texts, and a reader that keeps its pace with the link on.
#include <map>

#include "monitor/monitor_frame.h"
#include "output/vmc_frame.h"
#include "tests/common/posture_file.h"
#include "tests/common/turned_doll.h"
#include "tests/windows/support.h"

namespace {

std::string oscPort() { return dollSetting("GESTALYX_OSC_PORT"); }
std::string oscDump() { return readFile(dollPath("GESTALYX_OSC_DUMP")); }

class LiveLink : public MonitorRun {
protected:
    void SetUp() override {
        if (oscPort().empty()) GTEST_SKIP() << "not run through tools/with-oscdump";
        controlDoll("--clear-faults\n--pace\n--posture " + dataFile("turned.posture"));
    }
    void TearDown() override { controlDoll("--no-pace"); }
    // The monitor on the doll's port with [LINK] `keys` after Port; the dump's length before it started.
    void start(const std::string& keys) {
        mark = oscDump().size();
        ASSERT_NO_FATAL_FAILURE(startMonitor(run, window, {}, onDollPort() + "[LINK]\r\nPort=" + oscPort() + "\r\n" + keys));
    }
    std::size_t mark = 0;
};

// The bundles oscdump took from `from` on, as its lines "<time tag> <address> <type tags> <arguments>" with
// the time tag left out, each bundle from its /VMC/Ext/OK; a last one cut short is left out.
std::vector<std::vector<std::string>> bundlesSince(std::size_t from) {
    std::vector<std::vector<std::string>> bundles;
    std::istringstream lines(oscDump().substr(from));
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find(' ') + 1);
        if (line.starts_with("/VMC/Ext/OK")) bundles.emplace_back();
        if (!bundles.empty()) bundles.back().push_back(line);
    }
    if (!bundles.empty() && bundles.back().size() < 3 + vmcBoneCount) bundles.pop_back();
    return bundles;
}

double timeOf(const std::vector<std::string>& bundle) { return std::stod(bundle.at(1).substr(13)); }

// Every message of a bundle with its type tags, each bone once in table order. Returns the node parts' world
// rotations rebuilt from the bones' rotations, mirrored back and composed down the bones.
std::map<int, Rotation> rebuiltNodeParts(const std::vector<std::string>& bundle) {
    EXPECT_EQ(bundle.size(), 3u + vmcBoneCount);
    EXPECT_EQ(bundle.at(0), "/VMC/Ext/OK i 1");
    EXPECT_TRUE(bundle.at(1).starts_with("/VMC/Ext/T f ")) << bundle.at(1);
    EXPECT_EQ(bundle.at(2), "/VMC/Ext/Root/Pos sfffffff \"root\" 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 1.000000");
    Rotation world[vmcBoneCount];
    std::map<int, Rotation> parts;
    for (int bone = 0; bone < vmcBoneCount && 3u + bone < bundle.size(); ++bone) {
        const VmcBone& b = vmcBones[bone];
        std::istringstream words(bundle[3 + bone]);
        std::string address, tags, name;
        double place[3];
        Rotation r;
        words >> address >> tags >> name >> place[0] >> place[1] >> place[2] >> r.x >> r.y >> r.z >> r.w;
        EXPECT_EQ(address + " " + tags + " " + name, "/VMC/Ext/Bone/Pos sfffffff \"" + std::string(b.name) + "\"");
        world[bone] = b.parent == noPart ? mirrorRotation(r) : compose(world[b.parent], mirrorRotation(r));
        const std::uint8_t last = vmcLastPart(bone);
        if (last != noPart && bodyPartTable[last].nodeAddress != 0) parts[last] = world[bone];
    }
    EXPECT_EQ(parts.size(), 11u);
    return parts;
}

// Waits until the status text's frame rate is at least `rate`.
bool waitForFrameRate(HWND window, double rate) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(50))
        if (std::atof(statusText(window).c_str()) >= rate) return true;
    return false;
}

}  // namespace

// Smooth=1 (the default), the receiver named: 30 bundles a second (within 10 %), every one whole, T rising; the node parts rebuilt
// from a bundle within 0.1 degrees of the figure the monitor solves for the posture the doll holds.
TEST_F(LiveLink, SendsEveryBoneThirtyTimesASecond) {
    ASSERT_NO_FATAL_FAILURE(start("Enabled=1\r\nHost=localhost\r\n"));
    EXPECT_TRUE(isChecked(window, IDC_LINK));
    const std::string sending = "送信中 localhost:" + oscPort() + "　";
    EXPECT_NE(waitForStatus(window, sending).find(sending), std::string::npos) << statusText(window);
    Sleep(1500);  // past the frames read before the posture was taken
    const std::size_t from = oscDump().size();
    const ULONGLONG started = GetTickCount64();
    Sleep(5000);
    const double seconds = (GetTickCount64() - started) / 1000.0;
    const auto bundles = bundlesSince(from);
    std::printf("%zu bundles in %.2f s: %.1f a second\n", bundles.size(), seconds, bundles.size() / seconds);
    EXPECT_NEAR(bundles.size() / seconds, 30.0, 3.0);
    for (std::size_t i = 1; i < bundles.size(); ++i) EXPECT_GT(timeOf(bundles[i]), timeOf(bundles[i - 1]));

    resetBodyPartTable();
    applyPartMask(0x7F);
    std::int8_t counts[bodyPartCount][6];
    loadPosture("turned.posture", counts);
    FigureFrame figure;
    solveFigureOfFrame(counts, 1, figure);
    FigurePose solved;
    placeFigure(figure.local, figure.root, solved);
    double worst = 0;
    for (const auto& bundle : bundles)
        for (const auto& [row, rotation] : rebuiltNodeParts(bundle))
            worst = std::max(worst, angleBetween(rotation, fromMatrix(solved.rotation[row])) / degree);
    std::printf("node parts within %.4f degrees of the figure solve\n", worst);
    EXPECT_LT(worst, 0.1);
    closeWithEscape();
}

// Smooth=0, the box off at first: nothing is sent; checked, each of the doll's frames once (4.5 a second);
// unchecked, nothing again. The status text says where it sends only while it does.
TEST_F(LiveLink, BoxStartsAndStopsTheDollsOwnFrames) {
    ASSERT_NO_FATAL_FAILURE(start("Smooth=0\r\n"));
    EXPECT_EQ(controlText(window, IDC_LINK), L"送信");
    EXPECT_FALSE(isChecked(window, IDC_LINK));
    ASSERT_TRUE(waitForFrameRate(window, 4.0)) << statusText(window);
    EXPECT_EQ(oscDump().size(), mark) << "sent with the box unchecked";
    EXPECT_EQ(statusText(window).find("送信"), std::string::npos) << statusText(window);
    ASSERT_TRUE(clickButton(window, IDC_LINK));
    EXPECT_NE(waitForStatus(window, "送信中").find("送信中 127.0.0.1:" + oscPort()), std::string::npos);
    Sleep(4000);
    ASSERT_TRUE(clickButton(window, IDC_LINK));
    const std::size_t stopped = oscDump().size();
    const auto bundles = bundlesSince(mark);
    EXPECT_NEAR(bundles.size(), 18.0, 3.0);
    for (std::size_t i = 1; i < bundles.size(); ++i) EXPECT_NEAR(timeOf(bundles[i]) - timeOf(bundles[i - 1]), 1 / 4.5, 0.05);
    Sleep(1000);
    EXPECT_EQ(oscDump().size(), stopped) << "sent after the box was unchecked";
    EXPECT_EQ(statusText(window).find("送信"), std::string::npos) << statusText(window);
    closeWithEscape();
}

// A name that does not resolve is said in the status text, and the monitor streams on.
TEST_F(LiveLink, HostThatDoesNotResolve) {
    ASSERT_NO_FATAL_FAILURE(start("Enabled=1\r\nHost=no-such-host.invalid\r\n"));
    const std::string said = "送信先 (no-such-host.invalid) が見付かりません。";
    EXPECT_NE(waitForStatus(window, said).find(said), std::string::npos) << statusText(window);
    EXPECT_TRUE(waitForFrameRate(window, 4.0)) << statusText(window);
    closeWithEscape();
}

// On the line at the doll's own pace, alternate 6-second spans with the link off and on (Smooth=1): the mean
// time between frames (hip's node is selected once a frame; the doll's log opens each line with its time in
// ms) within 2 % of each other, and with the link on the window answering every message, one each 25 ms,
// within 50 ms.
TEST_F(LiveLink, ReaderKeepsItsPaceWithTheLinkOn) {
    ASSERT_NO_FATAL_FAILURE(start(""));
    ASSERT_TRUE(waitForFrameRate(window, 4.0)) << statusText(window);
    double period[2] = {};  // off, on
    ULONGLONG longest = 0;
    for (int span = 0; span < 4; ++span) {
        const std::size_t from = dollLog().size();
        for (const ULONGLONG started = GetTickCount64(); GetTickCount64() - started < 6000; Sleep(25)) {
            const ULONGLONG sent = GetTickCount64();
            DWORD_PTR result;
            EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
            if (span % 2 == 1) longest = std::max(longest, GetTickCount64() - sent);
        }
        std::vector<double> selected;
        std::istringstream lines(dollLog().substr(from));
        for (std::string line; std::getline(lines, line);)
            if (line.find(" a20") != std::string::npos) selected.push_back(std::stod(line));
        ASSERT_GT(selected.size(), 20u);
        period[span % 2] += (selected.back() - selected.front()) / (selected.size() - 1) / 2;
        ASSERT_TRUE(clickButton(window, IDC_LINK));
    }
    std::printf("%.1f ms a frame with the link off, %.1f ms with it on; the longest answer with it on %llu ms\n", period[0],
                period[1], longest);
    EXPECT_NEAR(period[1], period[0], period[0] * 0.02);
    EXPECT_LE(longest, 50u);
    EXPECT_GT(bundlesSince(mark).size(), 2 * 6 * 25u) << "the link was not on";
    closeWithEscape();
}
