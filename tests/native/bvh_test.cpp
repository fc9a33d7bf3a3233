// The motion files read back by the plain BVH rules: a still pose of each posture, and a recording of a
// turning doll resampled to a standard frame rate.
#include "output/bvh_file.h"
#include "monitor/recording.h"

#include <unistd.h>

#include <clocale>
#include <cmath>
#include <numbers>

#include "solver/joint_angles.h"
#include "tests/common/bvh_read.h"
#include "tests/common/data_table.h"
#include "tests/common/posture_file.h"
#include "tests/native/fake_platform.h"

// In single_axis.posture every relative rotation turns about one axis, so the node-less parts' shares add up to it.
static const char* const postures[] = {"sample_pose_1.posture", "sample_pose_2.posture", "sample_pose_3.posture",
                                       "sample_pose_4.posture", "seated.posture",        "single_axis.posture"};

// Each posture as a still pose, grounded, written under a locale with a decimal comma where it is built: every
// joint and end point read back lies where the figure has it, and the lowest on the floor.
TEST(BvhFile, StillPoseReadsBackAsTheFigure) {
    const std::string path = testing::TempDir() + std::to_string(getpid()) + ".bvh";
    for (const std::string posture : postures) {
        SCOPED_TRACE(posture);
        resetFakePlatform();
        applyPartMask(0x7F);
        std::int8_t sensor[bodyPartCount][6] = {};
        loadPosture(posture, sensor);
        FigureFrame figure;
        solveFigureOfFrame(sensor, 1, figure);
        PoseFrame angles{};
        figureAngles(figure, angles);
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        ASSERT_EQ(writeBvhPose(path.c_str(), angles), 1);
        std::setlocale(LC_NUMERIC, "C");
        EXPECT_TRUE(posture != "single_axis.posture" || fileText(path) == fileText(GESTALYX_TEST_DATA "/single_axis.bvh"));
        const BvhRead bvh = readBvh(path);
        EXPECT_TRUE(bvh.frames == 1 && bvh.time == 0.033333) << bvh.frames << bvh.time;
        FigurePose pose;
        placeFigure(figure.local, figure.root, pose);
        std::vector<Rotation> rotations;
        std::vector<std::array<double, 3>> points;
        placeJoints(bvh, 0, rotations, points);
        double lowest = 1e9;
        // The hierarchy runs in table order, so the n-th joint that is no End Site is row n.
        for (int j = 0, row = 0; j < static_cast<int>(bvh.joints.size()); ++j) {
            const double* expected = bvh.joints[j].name == "End" ? pose.end[row - 1] : pose.joint[row++];
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(points[j][k], expected[k], 1e-4) << j;
            lowest = std::min(lowest, points[j][1]);
        }
        EXPECT_NEAR(lowest, 0, 1e-5);
    }
    std::remove(path.c_str());
}

// A recording read a frame each 0.22 s, node after node 0.02 s apart, four frames in the middle failed: at 30
// frames a second its first frame is at the first instant every node has a reading before and after (the
// last node's first), one each 1/30 s to the hip's last reading, and the gap and when it began are named.
// Then it takes frames up to its limit and no more, and still counts an incomplete one.
TEST(Recording, ResampledToTheFrameRateUpToItsLimit) {
    resetFakePlatform();
    static Recording recording;
    EXPECT_EQ(recordingTimes(recording, 30).frames, 0);
    for (int f = 0; f < 20; ++f) {
        MonitorFrame frame{};
        frame.failedRows = f >= 8 && f < 12 ? 1u << 5 : 0;
        for (int row = 0, node = 0; row < bodyPartCount; ++row)
            if (!(bodyPartTable[row].flags & NoNode)) frame.readAt[row] = 100 + 0.22 * f + 0.02 * node++;
        ASSERT_EQ(recordFrame(recording, frame), 1);
    }
    EXPECT_TRUE(recording.count == 16 && recording.leftOut == 4);
    const RecordingTimes times = recordingTimes(recording, 30);
    EXPECT_NEAR(times.first, 100.2, 1e-9);
    EXPECT_EQ(times.frames, static_cast<int>((100 + 0.22 * 19 - 100.2) * 30) + 1);
    EXPECT_NEAR(times.gap, 0.22 * 5, 1e-9);
    EXPECT_NEAR(times.gapAt, 0.22 * 7 - 0.2, 1e-9);
    const std::string path = testing::TempDir() + std::to_string(getpid()) + ".bvh";
    ASSERT_EQ(saveRecording(recording, 30, 1, path.c_str()), 1);
    const BvhRead bvh = readBvh(path);
    EXPECT_TRUE(bvh.frames == times.frames && bvh.time == 0.033333) << bvh.frames << " " << bvh.time;
    std::remove(path.c_str());
    MonitorFrame frame{};
    while (recording.count <= recordingFrameLimit && recordFrame(recording, frame)) continue;
    EXPECT_EQ(recording.count, recordingFrameLimit);
    frame.failedRows = 1;
    EXPECT_TRUE(recordFrame(recording, frame) && recording.leftOut == 5) << "an incomplete frame is still counted";
    freeRecording(recording);
}

TEST(BvhFile, FileThatCannotBeCreatedOrWrittenShowsItsMessage) {
    resetFakePlatform();
    const std::string directory = testing::TempDir();
    const PoseFrame rest{};
    EXPECT_EQ(writeBvhPose(directory.c_str(), rest) + writeBvhPose("/dev/full", rest), 0);
    const std::vector<std::string> messages = {"BVHファイル (" + directory + ") を作成できません。",
                                               "BVHファイル (/dev/full) に書き込めません。"};
    EXPECT_EQ(fakePlatform.errorBoxes, messages);
}
