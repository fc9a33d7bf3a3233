// Pose by pose: a key taken once the doll stands still, its noise averaged away; the frames between keys on
// the shortest arc; the host's pose file with a key line a key; the keys file surviving a cut.
#include "monitor/keys.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "output/bvh_file.h"
#include "output/pose_file.h"
#include "tests/common/bvh_read.h"
#include "tests/common/data_table.h"
#include "tests/common/posture_file.h"
#include "tests/native/fake_platform.h"

namespace {

const std::string path = testing::TempDir() + std::to_string(getpid()) + ".keys";

// A key of a posture's counts give or take a few tenths, as a key is kept, and its hold.
Key keyOf(const char* posture, int hold) {
    std::int8_t counts[bodyPartCount][6] = {};
    loadPosture(posture, counts);
    Key key{hold, {}};
    for (int row = 0; row < bodyPartCount; ++row)
        for (int k = 0; k < 6 && bodyPartTable[row].nodeAddress != 0; ++k)
            key.vectors[row][k] = (counts[row][k] * 10 + (row + k) % 9 - 4) / 10.0;
    return key;
}

// Frame `f` of the doll, a frame each 0.22 s, node after node; the key asked for at 0, before frame `asked`.
MonitorFrame frameAt(int f, const std::int8_t counts[bodyPartCount][6], int asked) {
    MonitorFrame frame{};
    std::copy(&counts[0][0], &counts[0][0] + bodyPartCount * 6, &frame.sensor[0][0]);
    for (int row = 0; row < bodyPartCount; ++row) frame.readAt[row] = 0.22 * (f - asked) + 0.05 + 0.01 * row;
    return frame;
}

}  // namespace

// rShldr's first count, from 10, steps by `step` a frame until frame `stopAt` and jumps by 10 at `jumpAt`; the
// key is asked for before frame `asked`; a node fails at `failedAt`. The key when taken, and its first count.
TEST(Keys, WatchAveragesAStillDollAndNamesTheNodeAtFault) {
    const struct { int asked, step, stopAt, jumpAt, failedAt; KeyWatchResult result; int at, row; double value; } cases[] = {
        {40, 0, 0, -1, -1, KeyTaken, 40, -1, 10},       // still before the request: taken at once
        {1, 4, 5, -1, -1, KeyTaken, 35, -1, 29.9},      // moved, then 32 still frames (26, then 30s)
        {1, 0, 0, 8, -1, KeyTaken, 8, -1, 10},          // still from frame 0, moved again at 8
        {1, 4, 99, -1, -1, KeyNodeMoving, 23, 7, 0},    // spans 8 over any three, to the first frame past 5 s
        {1, 0, 0, -1, 3, KeyNodeFailed, 3, 13, 0},
        {1, 0, 0, -1, 0, KeyTaken, 32, -1, 10},         // the failure was read before the request
    };
    resetFakePlatform();
    for (const auto& c : cases) {
        KeyWatch watch;
        clearKeyWatch(watch);
        Key key{};
        int row = 0, f = 0, result = KeyWaiting;
        std::int8_t counts[bodyPartCount][6] = {};
        counts[7][0] = 10;
        for (; result == KeyWaiting && f < 60; ++f) {
            if (f == c.asked) askForKey(watch, 0.0);
            counts[7][0] += (f > 0 && f <= c.stopAt ? c.step : 0) + (f == c.jumpAt ? 10 : 0);
            MonitorFrame frame = frameAt(f, counts, c.asked);
            frame.failedRows = f == c.failedAt ? 1u << 13 : 0;
            result = watchFrame(watch, frame, key, row);
        }
        EXPECT_TRUE(result == c.result && f - 1 == c.at && row == c.row) << c.step << " " << result << " " << f;
        EXPECT_EQ(key.vectors[7][0], c.value) << c.at;
    }
}

// Noise of +-2 counts on every count, a hundred keys of each posture from a doll held still: the keys' node
// rotations lie within 0.5 degrees (rms) of those of the counts without noise, where single readings err by 2.
// Printed: rms and worst of both.
TEST(Keys, StillFramesAverageTheNoiseAway) {
    resetFakePlatform();
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> noise(-2, 2);
    double worst[2] = {}, squares[2] = {}, nodes = 0;  // a single reading, the key
    for (const char* posture : {"turned.posture", "sample_pose_1.posture", "sample_pose_2.posture",
                                "sample_pose_3.posture", "sample_pose_4.posture"}) {
        std::int8_t truth[bodyPartCount][6] = {}, noisy[bodyPartCount][6], first[bodyPartCount][6];
        loadPosture(posture, truth);
        for (int trial = 0; trial < 100; ++trial) {
            KeyWatch watch;
            clearKeyWatch(watch);
            askForKey(watch, 0.0);
            Key key;
            int row, result = KeyWaiting;
            for (int f = 0; result == KeyWaiting; ++f) {
                for (int r = 0; r < bodyPartCount * 6; ++r)  // rows without a node stay at rest
                    noisy[r / 6][r % 6] = truth[r / 6][r % 6] + (bodyPartTable[r / 6].nodeAddress ? noise(random) : 0);
                if (f == 0) std::memcpy(first, noisy, sizeof noisy);
                result = watchFrame(watch, frameAt(f, noisy, 0), key, row);
            }
            ASSERT_EQ(result, KeyTaken);
            for (int r = 0; r < bodyPartCount; nodes += bodyPartTable[r++].nodeAddress != 0) {
                const Rotation truly = sensorRotation(r, truth[r]);
                const double off[2] = {angleBetween(sensorRotation(r, first[r]), truly),
                                       angleBetween(sensorRotation(r, key.vectors[r]), truly)};
                for (int i = 0; i < 2; ++i) worst[i] = std::max(worst[i], off[i]), squares[i] += off[i] * off[i];
            }
        }
    }
    const double degree = std::numbers::pi / 180;
    const double rms[2] = {std::sqrt(squares[0] / nodes) / degree, std::sqrt(squares[1] / nodes) / degree};
    std::printf("node rotations off (degrees): single readings rms %.2f worst %.2f, keys rms %.2f worst %.2f\n",
                rms[0], worst[0] / degree, rms[1], worst[1] / degree);
    EXPECT_TRUE(rms[0] > 1.8 && rms[1] < 0.5) << rms[0] << " " << rms[1];
}

// Two keys, the second held two frames: each node part read back from each frame is the quaternion on the great
// arc between the keys' node rotations at the frame's share of the hold, to 1e-6 rad, its angles to both adding up.
TEST(Keys, InBetweensLieOnTheShortestArc) {
    resetFakePlatform();
    applyPartMask(0x7F);
    const Key keys[2] = {keyOf("sample_pose_2.posture", 10), keyOf("turned.posture", 2)};
    ASSERT_EQ(saveKeysBvh(keys, 2, 30, 1, path.c_str()), 1);
    const BvhRead bvh = readBvh(path);
    ASSERT_TRUE(bvh.frames == 13 && bvh.time == 0.033333) << bvh.frames << " " << bvh.time;
    for (int f = 0; f < bvh.frames; ++f)
        for (int row = 0; row < bodyPartCount; ++row) {
            if (bodyPartTable[row].flags & NoNode) continue;
            const Rotation a = sensorRotation(row, keys[0].vectors[row]), b = sensorRotation(row, keys[1].vectors[row]);
            const Rotation part = partRotations(bvh, f)[row];
            const double t = std::min(f / 10.0, 1.0), dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
            const double arc = std::acos(std::min(std::fabs(dot), 1.0)), p = std::sin((1 - t) * arc) / std::sin(arc);
            const double q = std::copysign(std::sin(t * arc) / std::sin(arc), dot);
            EXPECT_LT(angleBetween(part, {p * a.w + q * b.w, p * a.x + q * b.x, p * a.y + q * b.y, p * a.z + q * b.z}),
                      1e-6) << f << " " << row;
            EXPECT_NEAR(angleBetween(part, a) + angleBetween(part, b), angleBetween(a, b), 1e-6);
        }
    std::remove(path.c_str());
}

// Three keys held 12, 6 and 12 frames: the pose file of the last key's counts, rounded, with each "k  0" line
// three times, as "k  0", "k  12" and "k  18", with the angle each key's own pose file has there.
TEST(Keys, PoseFileHasAKeyLineAKeyAtItsFrame) {
    resetFakePlatform();
    applyPartMask(0x7F);
    const char* const postures[3] = {"sample_pose_1.posture", "sample_pose_3.posture", "turned.posture"};
    const Key keys[3] = {keyOf(postures[0], 12), keyOf(postures[1], 6), keyOf(postures[2], 12)};
    std::vector<std::string> single[3];  // each key's pose file, line by line
    for (int i = 0; i < 3; ++i) {
        std::int8_t counts[bodyPartCount][6] = {};
        loadPosture(postures[i], counts);
        solveMonitorFrame(counts);
        ASSERT_EQ(writePoseFile(path.c_str(), 0x3FFFF), 1);
        std::istringstream lines(fileText(path));
        for (std::string line; std::getline(lines, line);) single[i].push_back(line);
    }
    std::string expected;
    for (std::size_t n = 0; n < single[2].size(); ++n) {
        const bool keyLine = single[2][n].starts_with("\t\t\t\tk  0  ");
        for (int i = keyLine ? 0 : 2; i < 3; ++i)
            expected += keyLine ? "\t\t\t\tk  " + std::to_string(keyFrame(keys, i)) + single[i][n].substr(8) + "\n"
                                : single[2][n] + "\n";
    }
    ASSERT_EQ(saveKeysPoseFile(keys, 3, path.c_str()), 1);
    EXPECT_EQ(fileText(path), expected);
    std::remove(path.c_str());
}

// With GESTALYX_BLENDER_SAMPLE naming a folder, writes there keys-001.bvh of three postures' counts held 12, 6
// and 12 frames at 30 a second, grounded, and key-1.bvh to key-3.bvh, each posture's still pose as the monitor
// saves it; the ctest keys_in_blender has Blender show each pose at its key's frame, 0, 12 and 18, and the last
// still at 30.
TEST(Keys, BlenderSampleOfKeysAndTheirPoses) {
    const char* folder = std::getenv("GESTALYX_BLENDER_SAMPLE");
    if (folder == nullptr) GTEST_SKIP() << "GESTALYX_BLENDER_SAMPLE names no folder for the sample";
    resetFakePlatform();
    applyPartMask(0x7F);
    const char* const postures[3] = {"sample_pose_1.posture", "sample_pose_3.posture", "turned.posture"};
    Key keys[3] = {{12, {}}, {6, {}}, {12, {}}};
    for (int i = 0; i < 3; ++i) {
        std::int8_t counts[bodyPartCount][6] = {};
        loadPosture(postures[i], counts);
        std::copy(&counts[0][0], &counts[0][0] + bodyPartCount * 6, &keys[i].vectors[0][0]);
        FigureFrame figure;
        solveFigureOfFrame(counts, 1, figure);
        PoseFrame angles{};
        figureAngles(figure, angles);
        ASSERT_EQ(writeBvhPose((std::string(folder) + "/key-" + std::to_string(i + 1) + ".bvh").c_str(), angles), 1);
    }
    ASSERT_EQ(saveKeysBvh(keys, 3, 30, 1, (std::string(folder) + "/keys-001.bvh").c_str()), 1);
}

// Three keys appended and read back as they were. Cut in a line of the third key, after one, or before its
// last LF: the first two. A line out of form, or more keys than there is room for: the file refused.
TEST(Keys, KeysFileKeepsWhatWasAppendedAndRefusesAGarbledOne) {
    std::remove(path.c_str());
    Key keys[3] = {keyOf("sample_pose_1.posture", 12), keyOf("sample_pose_4.posture", 6), keyOf("turned.posture", 1)};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(appendKeyToFile(path.c_str(), keys[i], i + 1), 1);
    const std::string whole = fileText(path);
    int count = -1;
    const auto read = [&](const std::string& text, int capacity) {
        std::ofstream(path, std::ios::binary) << text;
        Key back[4];
        const int accepted = readKeysFile(path.c_str(), back, capacity, count);
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(back[i].hold == keys[i].hold &&
                        std::memcmp(back[i].vectors, keys[i].vectors, sizeof keys[i].vectors) == 0);
        return accepted ? count : -1;
    };
    EXPECT_EQ(read(whole, 4), 3);
    const std::size_t third = whole.find("key 3");
    for (std::size_t cut : {third + 100, whole.find('\n', third + 100) + 1, whole.size() - 1})
        EXPECT_TRUE(read(whole.substr(0, cut), 4) == 2 && keysFileWholeBytes == static_cast<long>(third)) << cut;
    EXPECT_EQ(read(whole + "undo\n", 4), 2);  // 取消, and the next key numbered 3 again
    EXPECT_EQ(read(whole + "undo\n" + whole.substr(third), 4), 3);
    const struct { const char* from; const char* to; } garbled[] = {
        {"# Gestalyx keys", "# Gestalyx kays"}, {"key 2 hold", "key 3 hold"}, {"hold 6", "hold 0"},
        {"\n0.6 63.7", "\n0.6 163.7"}, {"\n0.6 63.7", "\n0.65 63.7"}, {"\n0.6 63.7", "\n0 63.7"},
        {" # chest", " # head"}, {"\nkey 2", "\n\nkey 2"}, {"\nkey 3", "\n1.0 2.0 3.0 4.0 5.0\nkey 3"},
        {"# Gestalyx keys\n", "# Gestalyx keys\nundo\n"},
    };
    for (const auto& g : garbled)
        EXPECT_TRUE(read(std::string(whole).replace(whole.find(g.from), std::strlen(g.from), g.to), 4) == -1 &&
                    keysFileProblem[0] != '\0') << g.to;
    EXPECT_EQ(read(whole, 2), -1);
    EXPECT_EQ(read("", 4), 0);
    std::remove(path.c_str());
    EXPECT_EQ(readKeysFile(path.c_str(), keys, 3, count), 0);
}
