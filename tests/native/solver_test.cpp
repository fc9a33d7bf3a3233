#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "model/body_parts.h"
#include "solver/joint_angles.h"
#include "solver/node_orientation.h"
#include "solver/sample_poses.h"
#include "tests/native/fake_platform.h"

namespace {

constexpr double pi = 3.141592653589793;

void expectNear(const double actual[3], const double expected[3], double tolerance, double scale = 1) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k] * scale, expected[k], tolerance) << "element " << k;
}

// Angles are compared in degrees to 0.01, the precision of the worked values.
void expectDegrees(const double radians[3], const double degrees[3]) {
    expectNear(radians, degrees, 0.005, 180 / pi);
}
void expectDegrees(double radians, double degrees) { EXPECT_NEAR(radians * 180 / pi, degrees, 0.005); }

std::vector<int> sensor(const BodyPart& part) { return {part.sensor, part.sensor + 6}; }

void solveSamplePose(int pose, std::uint32_t partMask, int switchedOffRow = -1) {
    resetFakePlatform();
    applyPartMask(partMask);
    if (switchedOffRow >= 0) bodyPartTable[switchedOffRow].flags |= NoNode;
    samplePose = pose;
    solvePose();
}

TEST(SamplePoses, LoadFillsNodeRowsOnlyAndAnotherPoseReplacesThem) {
    resetFakePlatform();
    bodyPartTable[8].flags |= NoNode;  // a switched-off node still receives its values
    samplePose = 0;
    ASSERT_EQ(loadSamplePose(), 1);
    EXPECT_EQ(sensor(bodyPartTable[0]), (std::vector<int>{1, 64, -4, -2, 4, 63}));
    EXPECT_EQ(sensor(bodyPartTable[8]), (std::vector<int>{-41, -39, 24, 6, 28, 59}));
    EXPECT_EQ(sensor(bodyPartTable[4]), std::vector<int>(6, 0));

    samplePose = 1;
    loadSamplePose();
    BodyPartTable overwritten = bodyPartTable;
    resetFakePlatform();
    loadSamplePose();
    for (int row = 0; row < bodyPartCount; ++row)
        EXPECT_EQ(sensor(overwritten[row]), sensor(bodyPartTable[row])) << row;
}

TEST(NodeOrientation, WorkedCases) {
    const struct { const char* name; double u[3], v[3], expected[3]; } cases[] = {
        {"regular", {1, 64, -4}, {-2, 4, 63}, {3.63, 0.78, 1.82}},
        {"rest", {0, 64, 0}, {0, 0, 64}, {0, 0, 0}},
        {"roll 90 by the 1e-6 guard", {0, 64, 0}, {-64, 0, 0}, {0, 0, 90}},
        {"roll 90, u off the plane: side through z", {5, 64, 3}, {-64, 0, 0}, {0, 2.68, 90}},
        {"folded bend", {0, 64, 0}, {0, 30, -50}, {149.04, 180, 0}},
        {"locked, i = 0 fits", {0, 2, -58}, {2, 63, -6}, {84.27, 0, 0}},
        {"locked, i = 1 fits", {-2, 3, -57}, {1, 60, 1}, {88.65, -2.01, 2.01}},
        {"locked, no fit", {38.4, 0, 51.2}, {0, 64, 0}, {90, 143.13, 0}},
        {"locked at -90, no fit", {38.4, 0, 51.2}, {0, -64, 0}, {-90, 36.87, 0}},
        {"both zero", {0, 0, 0}, {0, 0, 0}, {0, 90, 90}},
        {"both along Y", {0, 64, 0}, {0, 64, 0}, {90, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double angles[3];
        solveNodeOrientation(c.u[0], c.u[1], c.u[2], c.v[0], c.v[1], c.v[2], angles[0], angles[1], angles[2]);
        expectDegrees(angles, c.expected);
    }
}

// M(bend, side, roll) * (0, 1, 0) and M * (0, 0, 1), M = Ry(-roll) Rx(-bend) Rz(-side).
void orientationAxes(double b, double s, double r, double y[3], double z[3]) {
    y[0] = std::sin(s) * std::cos(r) + std::cos(s) * std::sin(b) * std::sin(r);
    y[1] = std::cos(s) * std::cos(b);
    y[2] = std::sin(s) * std::sin(r) - std::cos(s) * std::sin(b) * std::cos(r);
    z[0] = -std::cos(b) * std::sin(r);
    z[1] = std::sin(b);
    z[2] = std::cos(b) * std::cos(r);
}

// Scales `x` to length 1; returns its former length.
double normalise(double x[3]) {
    double length = std::hypot(x[0], x[1], x[2]);
    for (int k = 0; k < 3; ++k) x[k] /= length;
    return length;
}

// Random u and v at right angles, of the lengths a real node gives, with |vy| in the regular range.
TEST(NodeOrientation, RegularCaseReproducesBothVectors) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> component(-1, 1), length(55, 75);
    for (int solved = 0; solved < 2000;) {
        double u[3], v[3];
        for (int k = 0; k < 3; ++k) u[k] = component(random), v[k] = component(random);
        if (normalise(u) < 0.1) continue;
        double dot = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
        for (int k = 0; k < 3; ++k) v[k] -= dot * u[k];
        if (normalise(v) < 0.1 || std::fabs(v[1]) > 0.99) continue;
        SCOPED_TRACE(testing::Message() << "sample " << ++solved);

        double lu = length(random), lv = length(random), b, s, r, y[3], z[3];
        solveNodeOrientation(lu * u[0], lu * u[1], lu * u[2], lv * v[0], lv * v[1], lv * v[2], b, s, r);
        orientationAxes(b, s, r, y, z);
        expectNear(y, u, 1e-9);
        expectNear(z, v, 1e-9);
        for (double angle : {b, s, r}) EXPECT_TRUE(angle > -pi && angle <= pi) << angle;
        if (HasFailure()) return;
    }
}

// Sample pose 0 with every part selectable.
const struct {
    const char* name;
    double absolute[3], joint[3];
} poseZero[bodyPartCount] = {
    {"hip", {3.63, 0.78, 1.82}, {3.63, 0.78, 1.82}},
    {"waist", {0, 0, 0}, {-2.13, 0.85, -0.85}},
    {"abdomen", {0, 0, 0}, {-2.13, 0.85, -0.85}},
    {"chest", {-2.68, 3.53, -0.90}, {-2.13, 0.85, -0.85}},
    {"neck", {0, 0, 0}, {4.01, 1.14, 11.30}},
    {"head", {5.30, 5.92, 21.80}, {4.01, 1.14, 11.30}},
    {"rCollar", {0, 0, 0}, {21.89, 0.00, 16.53}},
    {"rShldr", {41.03, 36.15, 34.02}, {21.89, 33.24, 16.53}},
    {"rForeArm", {115.89, -140.92, -77.91}, {18.22, 14.51, 68.11}},
    {"lCollar", {0, 0, 0}, {-10.67, 0.00, -5.16}},
    {"lShldr", {-21.59, -63.42, -13.35}, {-10.67, -65.86, -5.16}},
    {"lForeArm", {-31.46, -100.37, -79.32}, {-20.27, -28.30, -54.09}},
    {"rButtock", {0, 0, 0}, {-6.28, 1.03, 0.94}},
    {"rThigh", {-8.86, 3.21, 3.58}, {-6.28, 1.03, 0.94}},
    {"rShin", {5.87, -13.85, 10.15}, {15.39, -16.62, 9.29}},
    {"lButtock", {0, 0, 0}, {-10.36, -3.09, -10.22}},
    {"lThigh", {-17.29, -4.59, -18.14}, {-10.36, -3.09, -10.22}},
    {"lShin", {12.67, 26.29, -18.73}, {36.25, 24.41, -10.01}},
};

TEST(JointAngles, SamplePoseZeroAndWithRForeArmSwitchedOff) {
    const double zero[3] = {0, 0, 0};
    for (int switchedOff : {-1, 8}) {
        solveSamplePose(0, 0x7F, switchedOff);
        for (int row = 0; row < bodyPartCount; ++row) {
            SCOPED_TRACE(testing::Message() << poseZero[row].name << ", switched off " << switchedOff);
            bool off = row == switchedOff;
            expectDegrees(bodyPartTable[row].absoluteAngles, off ? zero : poseZero[row].absolute);
            expectDegrees(bodyPartTable[row].jointAngles, off ? zero : poseZero[row].joint);
        }
    }
}

// Sample pose 0 under other masks and with the chest node switched off.
TEST(JointAngles, Variants) {
    const struct { const char* name; std::uint32_t mask; int offRow; std::vector<int> rows; double joint[3]; } cases[] = {
        {"mask 0: chest, and waist and abdomen although not selectable", 0, -1, {1, 2, 3}, {-6.39, 2.56, -2.55}},
        {"mask 0: rShldr", 0, -1, {7}, {43.77, 33.24, 33.06}},
        {"chest off: waist, abdomen and chest keep lShldr's share", 0x7F, 3, {1, 2, 3}, {-4.30, 0.00, -3.54}},
        {"chest off: lShldr divided by 5", 0x7F, 3, {10}, {-4.30, -65.86, -3.54}},
    };
    for (const auto& c : cases) {
        solveSamplePose(0, c.mask, c.offRow);
        for (int row : c.rows) {
            SCOPED_TRACE(testing::Message() << c.name << ", row " << row);
            expectDegrees(bodyPartTable[row].jointAngles, c.joint);
        }
    }
    // head's chain passes neck alone of the rows written later.
    solveSamplePose(0, 0x7F, 3);
    expectNear(bodyPartTable[4].jointAngles, bodyPartTable[5].jointAngles, 0);
}

TEST(JointAngles, OtherSamplePoses) {
    solveSamplePose(1, 0x7F);  // both thighs locked
    expectDegrees(bodyPartTable[13].absoluteAngles[0], 84.27);
    expectDegrees(bodyPartTable[16].absoluteAngles[0], 88.65);
    solveSamplePose(3, 0x7F);  // a negative side of rShldr is shared
    for (int row : {6, 7}) expectDegrees(bodyPartTable[row].jointAngles[1], -40.95);
}

}  // namespace
