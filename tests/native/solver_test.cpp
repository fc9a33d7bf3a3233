// The pose solver: the node orientation's worked cases and its property in
// the regular case, and the joint angles of the sample poses. The worked
// values are in node_orientation.txt and joint_angles.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/body_parts.h"
#include "solver/joint_angles.h"
#include "solver/node_orientation.h"
#include "solver/sample_poses.h"
#include "tests/common/data_table.h"
#include "tests/native/fake_platform.h"

namespace {

constexpr double pi = 3.141592653589793;

// Angles compared in degrees to 0.01, the precision of the worked values;
// NaN marks a value not checked.
void expectDegrees(const double radians[3], const std::vector<double>& degrees) {
    for (int k = 0; k < 3; ++k) {
        if (std::isnan(degrees[k])) continue;
        EXPECT_NEAR(radians[k] * 180 / pi, degrees[k], 0.005) << "element " << k;
    }
}

TEST(NodeOrientation, WorkedCases) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/node_orientation.txt")) {
        SCOPED_TRACE(row.fields[0]);
        std::vector<double> u = numbersIn(row.fields[1]), v = numbersIn(row.fields[2]);
        double angles[3];
        solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], angles[0], angles[1], angles[2]);
        expectDegrees(angles, numbersIn(row.fields[3]));
    }
}

// Random u and v at right angles, of the lengths a real node gives, with |vy|
// in the regular range: M(bend, side, roll) = Ry(-roll) Rx(-bend) Rz(-side)
// of the angles found takes (0, 1, 0) to u and (0, 0, 1) to v.
TEST(NodeOrientation, RegularCaseReproducesBothVectors) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> component(-1, 1), length(55, 75);
    auto normalise = [](double x[3]) {
        double n = std::hypot(x[0], x[1], x[2]);
        for (int k = 0; k < 3; ++k) x[k] /= n;
        return n;
    };
    for (int solved = 0; solved < 2000 && !HasFailure();) {
        double u[3], v[3];
        for (int k = 0; k < 3; ++k) u[k] = component(random), v[k] = component(random);
        if (normalise(u) < 0.1) continue;
        double dot = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
        for (int k = 0; k < 3; ++k) v[k] -= dot * u[k];
        if (normalise(v) < 0.1 || std::fabs(v[1]) > 0.99) continue;
        SCOPED_TRACE(testing::Message() << "sample " << ++solved);
        double lu = length(random), lv = length(random), b, s, r;
        solveNodeOrientation(lu * u[0], lu * u[1], lu * u[2], lv * v[0], lv * v[1], lv * v[2], b, s, r);
        const double y[3] = {std::sin(s) * std::cos(r) + std::cos(s) * std::sin(b) * std::sin(r),
                             std::cos(s) * std::cos(b),
                             std::sin(s) * std::sin(r) - std::cos(s) * std::sin(b) * std::cos(r)};
        const double z[3] = {-std::cos(b) * std::sin(r), std::sin(b), std::cos(b) * std::cos(r)};
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(y[k], u[k], 1e-9);
            EXPECT_NEAR(z[k], v[k], 1e-9);
        }
        for (double angle : {b, s, r}) EXPECT_TRUE(angle > -pi && angle <= pi) << angle;
    }
}

int rowNamed(const std::string& name) {
    for (int row = 0; row < bodyPartCount; ++row)
        if (name == bodyPartTable[row].name) return row;
    return -1;
}

TEST(JointAngles, SamplePosesUnderMasksAndSwitchedOffNodes) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/joint_angles.txt")) {
        SCOPED_TRACE(row.where);
        resetFakePlatform();
        applyPartMask(static_cast<std::uint32_t>(std::stoul(row.fields[1], nullptr, 0)));
        if (row.fields[2] != "-") bodyPartTable[rowNamed(row.fields[2])].flags |= NoNode;
        samplePose = std::stoi(row.fields[0]);
        solvePose();
        const BodyPart& part = bodyPartTable[rowNamed(row.fields[3])];
        expectDegrees(part.absoluteAngles, numbersIn(row.fields[4]));
        expectDegrees(part.jointAngles, numbersIn(row.fields[5]));
    }
}

}  // namespace
