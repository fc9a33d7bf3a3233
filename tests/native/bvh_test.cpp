// The reference figure posed by the solver's angles, and the motion file read back by the plain BVH rules.
#include "output/bvh_file.h"
#include "monitor/recording.h"

#include <unistd.h>

#include <clocale>
#include <cstring>
#include <numbers>

#include "solver/joint_angles.h"
#include "tests/common/data_table.h"
#include "tests/native/fake_platform.h"
#include "tools/virtual-doll/doll_files.h"

// In single_axis.posture every relative rotation turns about one axis, so the node-less parts' shares add up to it.
static const char* const postures[] = {"sample_pose_1.posture", "sample_pose_2.posture", "sample_pose_3.posture",
                                       "sample_pose_4.posture", "seated.posture",        "single_axis.posture"};

// Solved with every part selectable, so that every divisor counts every node-less part; `streamed` gets the
// posture as the monitor streams it.
static PoseFrame solvePosture(const std::string& posture, MonitorFrame* streamed = nullptr) {
    static Doll doll;
    resetFakePlatform();
    applyPartMask(0x7F);
    EXPECT_EQ(loadDollPosture(doll, (GESTALYX_TEST_DATA "/" + posture).c_str()), 1) << dollFileMessage;
    for (int row = 0, node = 0; row < bodyPartCount; ++row)
        if (bodyPartTable[row].nodeAddress != 0) {
            if (streamed != nullptr) std::memcpy(streamed->sensor[row], doll.nodes[node].posture, 6);
            std::memcpy(bodyPartTable[row].sensor, doll.nodes[node++].posture, 6);
        }
    solveSensorVectors();
    PoseFrame frame;
    takePoseFrame(frame);
    return frame;
}

// Hip's world rotation, and in the single-axis posture every node part's, is the transpose of the orientation
// M of its absoluteAngles: row k is M e_k, which the solver's order 1 gives with the angles negated.
TEST(FigurePose, NodeWorldRotationsAreTheirOrientations) {
    for (const std::string posture : postures) {
        FigurePose pose;
        poseFigure(solvePosture(posture), pose);
        for (int row = 0, rows = posture == "single_axis.posture" ? bodyPartCount : 1; row < rows; ++row)
            for (int k = 0; k < 3 && !(bodyPartTable[row].flags & NoNode); ++k) {
                const double* angles = bodyPartTable[row].absoluteAngles;
                double axis[3] = {0, 0, 0};
                axis[k] = 1;
                rotateVector(-angles[0], -angles[1], -angles[2], 1, axis);
                for (int j = 0; j < 3; ++j)
                    EXPECT_NEAR(pose.rotation[row][k][j], axis[j], 1e-9) << posture << ", row " << row << k << j;
            }
    }
}

struct BvhJoint { std::string name; int parent; double offset[3]; std::vector<std::string> channels; int first; };
struct BvhRead { std::vector<BvhJoint> joints; int frames, values; double time; std::vector<double> motion; };

// The joints in file order ("End" for an End Site), each with the index of its first value in a frame of
// `values` values, then every value of every frame.
static BvhRead readBvh(const std::string& path) {
    std::ifstream in(path);
    BvhRead bvh{};
    std::vector<int> open;
    std::string word;
    for (int count = 0; in >> word && word != "MOTION";) {
        if (word == "ROOT" || word == "JOINT" || word == "End")
            bvh.joints.push_back({word, open.empty() ? -1 : open.back(), {}, {}, bvh.values});
        if (word == "ROOT" || word == "JOINT") in >> bvh.joints.back().name;
        if (word == "{") open.push_back(static_cast<int>(bvh.joints.size()) - 1);
        if (word == "}") open.pop_back();
        if (word == "OFFSET") for (double& k : bvh.joints.back().offset) in >> k;
        if (word == "CHANNELS" && in >> count) bvh.joints.back().channels.resize(count), bvh.values += count;
        for (int k = 0; k < count && word == "CHANNELS"; ++k) in >> bvh.joints.back().channels[k];
    }
    in >> word >> bvh.frames >> word >> word >> bvh.time;  // Frames: N Frame Time: T
    for (double value; in >> value;) bvh.motion.push_back(value);
    EXPECT_TRUE(in.eof() && bvh.motion.size() == static_cast<std::size_t>(bvh.frames * bvh.values));
    return bvh;
}

// Joint j by the plain rules: its parent's transform times the translation by its OFFSET (and its position
// channels) times its rotations in channel order, so on a point the last channel acts first.
static void placeJoint(const BvhRead& bvh, int frame, int j, double point[3]) {
    for (; j >= 0; j = bvh.joints[j].parent) {
        const BvhJoint& joint = bvh.joints[j];
        for (int c = static_cast<int>(joint.channels.size()) - 1; c >= 0; --c) {
            const char axis = joint.channels[c][0];
            const double value = bvh.motion[frame * bvh.values + joint.first + c], a = value * std::numbers::pi / 180;
            if (joint.channels[c].ends_with("position")) point[axis - 'X'] += value;
            else rotateVector(axis == 'X' ? a : 0, axis == 'Z' ? a : 0, axis == 'Y' ? a : 0, 0, point);
        }
        for (int k = 0; k < 3; ++k) point[k] += joint.offset[k];
    }
}

// One pose of the body-part table (the single-axis posture, whose file is given whole), then every posture as
// a recording of the monitor, 0.25 s a frame, with an incomplete frame streamed after each: each is left out,
// and the frame time is the recording's 2.75 s, from the first frame's start to the last one's end, over six.
// Both written under a locale with a decimal comma where it is built; every joint and end point of every frame
// read back is where the figure has it.
TEST(BvhFile, ReadBackGivesTheFigurePoseOfEveryFrame) {
    std::vector<PoseFrame> frames;
    static Recording recording;
    for (double time = 10; const char* posture : postures) {
        MonitorFrame streamed{{}, 0, time, time + 0.25};
        frames.push_back(solvePosture(posture, &streamed));
        MonitorFrame incomplete{{{9, 9, 9, 9, 9, 9}}, 1u << 2, time + 0.25, time + 0.5};
        EXPECT_TRUE(recordFrame(recording, streamed) && recordFrame(recording, incomplete));
        time += 0.5;
    }
    EXPECT_TRUE(recording.count == static_cast<int>(frames.size()) && recording.leftOut == frames.size());
    const std::string path = testing::TempDir() + std::to_string(getpid()) + ".bvh";
    for (const int count : {1, static_cast<int>(frames.size())}) {
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        ASSERT_EQ(count == 1 ? writeBvhPose(path.c_str()) : saveRecording(recording, path.c_str()), 1);
        std::setlocale(LC_NUMERIC, "C");
        const BvhRead bvh = readBvh(path);
        EXPECT_TRUE(bvh.frames == count && bvh.time == (count == 1 ? 0.033333 : 0.458333)) << bvh.frames << bvh.time;
        EXPECT_TRUE(count > 1 || fileText(path) == fileText(GESTALYX_TEST_DATA "/single_axis.bvh")) << fileText(path);
        for (int f = 0; f < count; ++f) {
            FigurePose pose;
            poseFigure(frames[count == 1 ? frames.size() - 1 : f], pose);
            // The hierarchy runs in table order, so the n-th joint that is no End Site is row n.
            for (int j = 0, row = 0; j < static_cast<int>(bvh.joints.size()); ++j) {
                const double* expected = bvh.joints[j].name == "End" ? pose.end[row - 1] : pose.joint[row++];
                double found[3] = {0, 0, 0};
                placeJoint(bvh, f, j, found);
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(found[k], expected[k], 1e-4) << count << ", " << f << ", " << j;
            }
        }
    }
    std::remove(path.c_str());
    freeRecording(recording);
}

// A recording takes frames up to its limit and no more; a recording with no frame has no frame time.
TEST(Recording, StopsTakingFramesAtItsLimit) {
    static Recording recording;
    EXPECT_EQ(recordingFrameTime(recording), 0.0);
    MonitorFrame frame{};
    int taken = 0;
    while (taken <= recordingFrameLimit && recordFrame(recording, frame)) ++taken;
    EXPECT_TRUE(taken == recordingFrameLimit && recording.count == recordingFrameLimit);
    frame.failedRows = 1;
    EXPECT_EQ(recordFrame(recording, frame), 1) << "an incomplete frame is still counted";
    EXPECT_EQ(recording.leftOut, 1u);
    freeRecording(recording);
}

TEST(BvhFile, FileThatCannotBeCreatedOrWrittenShowsItsMessage) {
    resetFakePlatform();
    const std::string directory = testing::TempDir();
    EXPECT_EQ(writeBvhPose(directory.c_str()) + writeBvhPose("/dev/full"), 0);
    const std::vector<std::string> messages = {"BVHファイル (" + directory + ") を作成できません。",
                                               "BVHファイル (/dev/full) に書き込めません。"};
    EXPECT_EQ(fakePlatform.errorBoxes, messages);
}
