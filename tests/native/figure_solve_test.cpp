// The figure solve against a doll whose every node's true rotation is known: one node's orientation over the
// whole space, continuous motions of the figure with its vectors rounded to counts, the shares of motions
// about one axis, and the channels of the motion file taken from frame to frame.
#include "solver/figure_solve.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "model/reference_figure.h"
#include "solver/joint_angles.h"
#include "solver/node_orientation.h"
#include "tests/native/fake_platform.h"
#include "tests/common/turned_doll.h"

namespace {

constexpr double degree = 3.141592653589793 / 180;

Rotation about(const double axis[3], double degrees) {
    double v[3];
    for (int k = 0; k < 3; ++k) v[k] = axis[k] * degrees * degree;
    return fromRotationVector(v);
}

}  // namespace

// 100,000 random orientations: exact vectors give the rotation to 1e-9 rad, vectors rounded to counts of
// length 64 within 1.0 degree (the counts allow about 0.8 degree a vector). The host's joint angles of the
// same counts, for comparison, are printed with ours.
TEST(FigureSolve, NodeOrientationOverTheWholeSpace) {
    std::mt19937_64 random(2026);
    std::normal_distribution<double> normal;
    int ours[5] = {}, host[5] = {};
    double worst = 0, worstExact = 0, worstHost = 0;
    const int samples = 100000;
    for (int i = 0; i < samples; ++i) {
        Rotation truth{normal(random), normal(random), normal(random), normal(random)};
        double size = std::sqrt(truth.w * truth.w + truth.x * truth.x + truth.y * truth.y + truth.z * truth.z);
        truth = {truth.w / size, truth.x / size, truth.y / size, truth.z / size};
        double u[3], v[3];
        readingOf(truth, u, v, false);
        worstExact = std::max(worstExact, angleBetween(fitNodeRotation(u, v), truth));
        readingOf(truth, u, v, true);
        double error = angleBetween(fitNodeRotation(u, v), truth) / degree;
        double angles[3];
        solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], angles[0], angles[1], angles[2]);
        double hostError = angleBetween(partRotation(angles), truth) / degree;
        worst = std::max(worst, error);
        worstHost = std::max(worstHost, hostError);
        for (int bin = 0; bin < 5; ++bin) {
            ours[bin] += error > 0.5 * bin;
            host[bin] += hostError > 0.5 * bin;
        }
    }
    EXPECT_LT(worstExact, 1e-9);
    EXPECT_LT(worst, 1.0);
    std::printf("over (degrees)   0.0     0.5     1.0     1.5     2.0    worst\n");
    for (const auto* counts : {ours, host}) {
        std::printf("%-13s", counts == ours ? "figure solve" : "host angles");
        for (int bin = 0; bin < 5; ++bin) std::printf(" %6.2f%%", 100.0 * counts[bin] / samples);
        std::printf("  %6.2f\n", counts == ours ? worst : worstHost);
    }
}

namespace {

// A node's rotation relative to its reference: `turn` degrees about `axis`, from `from` to `to` over the
// motion, after a fixed `before` degrees about `beforeAxis`.
struct Move { int row; double axis[3]; double from, to; double beforeAxis[3]; double before; };
struct Motion { const char* name; std::vector<Move> moves; double tilt; int off = 0; };  // off: a node switched off

constexpr double X[3] = {1, 0, 0}, Y[3] = {0, 1, 0}, Z[3] = {0, 0, 1};
enum : int { hip = 0, chest = 3, head = 5, rShldr = 7, rForeArm = 8, lShldr = 10, rThigh = 13, lThigh = 16 };

// A motion is about one axis when it has no fixed turn and no tilt; such motions check the shares.
const std::vector<Motion> motions = {
    {"arms raised forward from hanging to overhead", {{rShldr, {1, 0, 0}, 0, -180, {0, 0, 1}, 90},
                                                      {lShldr, {1, 0, 0}, 0, -180, {0, 0, 1}, -90}}, 0},
    {"a full arm circle", {{rShldr, {1, 0, 0}, 0, -360, {0, 0, 1}, 90}}, 0},
    {"torso twist, every node tilted", {{chest, {0, 1, 0}, -90, 90, {}, 0}}, 4},
    {"leg raised past 82 degrees", {{rThigh, {1, 0, 0}, 0, -120, {}, 0}}, 0},
    {"elbow flexed, upper arm forward", {{rShldr, {1, 0, 0}, -90, -90, {0, 0, 1}, 90},
                                         {rForeArm, {0, 1, 0}, 0, 140, {}, 0}}, 0},
    {"head turning while nodded", {{head, {0, 1, 0}, -80, 80, {1, 0, 0}, 20}}, 0},
    {"arms from hanging sideways to overhead", {{rShldr, {0, 0, 1}, 90, -90, {}, 0},
                                                {lShldr, {0, 0, 1}, -90, 90, {}, 0}}, 0},
    {"torso bent sideways", {{chest, {0, 0, 1}, -45, 45, {}, 0}}, 0},
    {"head turning while nodded, chest node off", {{head, {0, 1, 0}, -80, 80, {1, 0, 0}, 20}}, 4, chest},
};

// Every node's world rotation `share` of the way through the motion.
void dollAt(const Motion& motion, double share, Rotation world[bodyPartCount]) {
    const double tiltAxis[3] = {std::sqrt(0.5), 0, std::sqrt(0.5)};
    for (int row = 0; row < bodyPartCount; ++row) {
        Rotation relative = about(tiltAxis, motion.tilt);
        for (const Move& move : motion.moves)
            if (move.row == row)
                relative = compose(compose(about(move.axis, move.from + share * (move.to - move.from)),
                                           about(move.beforeAxis, move.before)), relative);
        world[row] = row == 0 ? relative : compose(world[referenceRow(row)], relative);
    }
}

double distance(const double a[3], const double b[3]) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

}  // namespace

// Each motion in 0.5 degree steps, counts rounded: every node part within 1.0 degree of the doll, no joint or
// end point moving more than three times its true step plus 1.5 cm, the channels giving the rotation and
// never stepping by half a turn; a node-less part on several nodes' chains at rest; with exact vectors, a motion about one axis gives each sharing part 1/n of
// the angle and the node part the rest, or all of it where it keeps that side.
TEST(FigureSolve, ContinuousMotions) {
    for (const Motion& motion : motions) {
        SCOPED_TRACE(motion.name);
        resetFakePlatform();
        applyPartMask(0x7F);
        bodyPartTable[motion.off].flags |= motion.off != 0 ? NoNode : 0;
        double span = 0;
        for (const Move& move : motion.moves) span = std::max(span, std::fabs(move.to - move.from));
        const int steps = static_cast<int>(span / 0.5);
        FigurePose previousTrue{}, previousFound{}, previousHost{};
        PoseFrame angles{};
        double worstNode = 0, worstJump = 0, worstHostJump = 0;
        int hostJumps = 0;
        for (int step = 0; step <= steps; ++step) {
            Rotation truth[bodyPartCount], found[bodyPartCount];
            dollAt(motion, static_cast<double>(step) / steps, truth);
            std::int8_t sensor[bodyPartCount][6] = {};
            for (int row = 0; row < bodyPartCount; ++row)
                if (!(bodyPartTable[row].flags & NoNode)) sensorOf(row, truth[row], sensor[row]);
            nodeRotations(sensor, found);
            FigureFrame exact, rounded;
            solveFigure(truth, 1, exact);
            solveFigure(found, 1, rounded);
            FigurePose trueFigure, foundFigure, hostFigure;
            placeFigure(exact.local, exact.root, trueFigure);
            placeFigure(rounded.local, rounded.root, foundFigure);
            // The host's joint angles of the same counts, for comparison.
            for (int row = 0; row < bodyPartCount; ++row) std::memcpy(bodyPartTable[row].sensor, sensor[row], 6);
            solveSensorVectors();
            PoseFrame host;
            takePoseFrame(host);
            poseFigure(host, hostFigure);
            bool hostJumped = false;
            for (int row = 0; row < bodyPartCount; ++row) {
                if (!(bodyPartTable[row].flags & NoNode))
                    worstNode = std::max(worstNode, angleBetween(fromMatrix(foundFigure.rotation[row]), truth[row]));
                for (const bool end : {false, true}) {
                    if (step == 0) continue;
                    double trueStep = end ? distance(trueFigure.end[row], previousTrue.end[row])
                                          : distance(trueFigure.joint[row], previousTrue.joint[row]);
                    double foundStep = end ? distance(foundFigure.end[row], previousFound.end[row])
                                           : distance(foundFigure.joint[row], previousFound.joint[row]);
                    double hostStep = end ? distance(hostFigure.end[row], previousHost.end[row])
                                          : distance(hostFigure.joint[row], previousHost.joint[row]);
                    worstJump = std::max(worstJump, foundStep - 3 * trueStep);
                    worstHostJump = std::max(worstHostJump, hostStep - 3 * trueStep);
                    hostJumped = hostJumped || hostStep > 3 * trueStep + 1.5;
                }
            }
            // With the chest's node off, waist, abdomen and chest lie on the chains of head and both arms.
            for (int row = 1; row <= 3 && motion.off == chest; ++row)
                EXPECT_LT(angleBetween(rounded.local[row], identityRotation), 1e-12) << row;
            PoseFrame before = angles;
            figureAngles(rounded, angles);
            for (int row = 0; row < bodyPartCount; ++row) {
                EXPECT_LT(angleBetween(partRotation(angles.jointAngles[row]), rounded.local[row]), 1e-9) << row;
                for (int k = 0; k < 3; ++k)
                    EXPECT_LT(std::fabs(angles.jointAngles[row][k] - before.jointAngles[row][k]), 180 * degree);
            }
            bool oneAxis = motion.tilt == 0;
            for (const Move& move : motion.moves) oneAxis = oneAxis && move.before == 0;
            for (const Move& move : motion.moves) {
                if (!oneAxis) break;
                int reference = referenceRow(move.row), n = 1;
                for (int walk = bodyPartTable[move.row].parent; walk != reference; walk = bodyPartTable[walk].parent) ++n;
                double angle = move.from + (move.to - move.from) * step / steps;
                bool kept = (bodyPartTable[move.row].flags & KeepPositiveSide && move.axis[2] * angle > 0) ||
                            (bodyPartTable[move.row].flags & KeepNegativeSide && move.axis[2] * angle < 0);
                for (int walk = bodyPartTable[move.row].parent; walk != reference; walk = bodyPartTable[walk].parent)
                    EXPECT_LT(angleBetween(exact.local[walk], about(move.axis, kept ? 0 : angle / n)), 1e-9) << walk;
                EXPECT_LT(angleBetween(exact.local[move.row], about(move.axis, kept ? angle : angle / n)), 1e-9);
            }
            hostJumps += hostJumped;
            previousTrue = trueFigure;
            previousFound = foundFigure;
            previousHost = hostFigure;
        }
        EXPECT_LT(worstNode / degree, 1.0);
        EXPECT_LE(worstJump, 1.5);
        std::printf("%-44s %4d steps: node parts within %.2f deg, joints at most %.2f cm past 3 true steps"
                    " (host angles: %d steps past 1.5 cm, up to %.1f cm)\n",
                    motion.name, steps, worstNode / degree, worstJump, hostJumps, worstHostJump);
    }
}
