// The pose solver: the node orientation's worked cases (node_orientation.txt) and its property in the
// regular case, and the joint angles of the sample poses (joint_angles.txt).
#include <cmath>
#include <random>

#include "model/body_parts.h"
#include "solver/joint_angles.h"
#include "solver/node_orientation.h"
#include "solver/sample_poses.h"
#include "tests/common/data_table.h"
#include "tests/native/fake_platform.h"

constexpr double pi = 3.141592653589793;

// Angles compared in degrees to 0.01, the precision of the worked values; "*" marks a value not checked.
static void expectDegrees(const double radians[3], const std::string& degrees) {
    std::istringstream words(degrees);
    std::string word;
    for (int k = 0; k < 3 && words >> word; ++k) {
        double found = radians[k] * 180 / pi;
        EXPECT_NEAR(found, word == "*" ? found : std::stod(word), 0.005) << "element " << k;
    }
}

TEST(NodeOrientation, WorkedCases) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/node_orientation.txt")) {
        SCOPED_TRACE(row.fields[0]);
        double u[3], v[3], angles[3];
        std::istringstream(row.fields[1] + " " + row.fields[2]) >> u[0] >> u[1] >> u[2] >> v[0] >> v[1] >> v[2];
        solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], angles[0], angles[1], angles[2]);
        expectDegrees(angles, row.fields[3]);
    }
}

// Random rotations M(bend, side, roll) = Ry(-roll) Rx(-bend) Rz(-side) with
// |vy| in the regular range give u and v, of the lengths a real node gives;
// the M of the angles found takes (0, 1, 0) to u and (0, 0, 1) to v again.
TEST(NodeOrientation, RegularCaseReproducesBothVectors) {
    auto images = [](double b, double s, double r, double y[3], double z[3]) {
        y[0] = std::sin(s) * std::cos(r) + std::cos(s) * std::sin(b) * std::sin(r), y[1] = std::cos(s) * std::cos(b);
        y[2] = std::sin(s) * std::sin(r) - std::cos(s) * std::sin(b) * std::cos(r);
        z[0] = -std::cos(b) * std::sin(r), z[1] = std::sin(b), z[2] = std::cos(b) * std::cos(r);
    };
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> angle(-pi, pi), length(55, 75);
    for (int i = 0; i < 2000 && !HasFailure(); ++i) {
        SCOPED_TRACE(testing::Message() << "sample " << i);
        double u[3], v[3], y[3], z[3], b, s, r, lu = length(random), lv = length(random);
        images(angle(random), angle(random), angle(random), u, v);
        if (std::fabs(v[1]) > 0.99) continue;
        solveNodeOrientation(lu * u[0], lu * u[1], lu * u[2], lv * v[0], lv * v[1], lv * v[2], b, s, r);
        images(b, s, r, y, z);
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::fabs(y[k] - u[k]) < 1e-9 && std::fabs(z[k] - v[k]) < 1e-9) << k;
        for (double found : {b, s, r}) EXPECT_TRUE(found > -pi && found <= pi) << found;
    }
}

static int rowNamed(const std::string& name) {
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
        expectDegrees(part.absoluteAngles, row.fields[4]);
        expectDegrees(part.jointAngles, row.fields[5]);
    }
}
