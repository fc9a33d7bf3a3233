// The figure solve against a doll whose every node's true rotation is known: one node's orientation over the
// whole space, continuous motions of the figure with its vectors rounded to counts, the shares of motions
// about one axis, and the channels of the motion file taken from frame to frame.
#include "solver/figure_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "solver/joint_angles.h"
#include "solver/node_orientation.h"
#include "tests/common/turned_doll.h"
#include "tests/native/fake_platform.h"

// 100,000 random orientations: exact vectors give the rotation to 1e-9 rad, vectors rounded to counts of
// length 64 within 1.0 degree (the counts allow about 0.8 degree a vector). Printed beside the host's joint
// angles of the same counts: the share of orientations off by more than 0, 0.5, 1, 1.5 and 2 degrees.
TEST(FigureSolve, NodeOrientationOverTheWholeSpace) {
    std::mt19937_64 random(2026);
    std::normal_distribution<double> normal;
    const int samples = 100000;
    int over[2][5] = {};
    double worst[2] = {}, worstExact = 0;
    for (int i = 0; i < samples; ++i) {
        // Four normal numbers make a quaternion of uniformly random direction; its rotation vector is its own.
        double u[3], v[3], angles[3];
        rotationVector({normal(random), normal(random), normal(random), normal(random)}, u);
        const Rotation truth = fromRotationVector(u);
        readingOf(truth, u, v, false);
        worstExact = std::max(worstExact, angleBetween(fitNodeRotation(u, v), truth));
        readingOf(truth, u, v, true);
        solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], angles[0], angles[1], angles[2]);
        const double errors[2] = {angleBetween(fitNodeRotation(u, v), truth) / degree,
                                  angleBetween(partRotation(angles), truth) / degree};
        for (int solve = 0; solve < 2; ++solve) {
            worst[solve] = std::max(worst[solve], errors[solve]);
            for (int bin = 0; bin < 5; ++bin) over[solve][bin] += errors[solve] > 0.5 * bin;
        }
    }
    EXPECT_LT(worstExact, 1e-9);
    EXPECT_LT(worst[0], 1.0);
    for (int solve = 0; solve < 2; ++solve) {
        std::printf("%-13s", solve == 0 ? "figure solve" : "host angles");
        for (int bin = 0; bin < 5; ++bin) std::printf(" %6.2f%%", 100.0 * over[solve][bin] / samples);
        std::printf("  worst %6.2f degrees\n", worst[solve]);
    }
}

namespace {

// A node's rotation relative to its reference: `from` to `to` degrees about `axis` over the motion, after a
// fixed turn of `before` degrees about `beforeAxis`.
struct Move { int row; double axis[3]; double from, to; double beforeAxis[3]; double before; };
struct Motion { const char* name; std::vector<Move> moves; double tilt; int off = 0; };  // off: a node switched off

enum : int { chest = 3, head = 5, rShldr = 7, rForeArm = 8, lShldr = 10, rThigh = 13 };

// A motion without fixed turns and tilt turns about one axis; such motions check the shares.
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

double angleOf(const Move& move, double share) { return move.from + share * (move.to - move.from); }

// Every node's world rotation `share` of the way through the motion.
void dollAt(const Motion& motion, double share, Rotation world[bodyPartCount]) {
    const double tiltAxis[3] = {1, 0, 1};
    for (int row = 0; row < bodyPartCount; ++row) {
        Rotation relative = turned(tiltAxis, motion.tilt);
        for (const Move& move : motion.moves)
            if (move.row == row)
                relative = compose(compose(turned(move.axis, angleOf(move, share)),
                                           turned(move.beforeAxis, move.before)), relative);
        world[row] = row == 0 ? relative : compose(world[referenceRow(row)], relative);
    }
}

// How far joint (point < 18) or end point (point - 18) moved from `before` to `now`.
double moved(const FigurePose& now, const FigurePose& before, int point) {
    const double* a = point < bodyPartCount ? now.joint[point] : now.end[point - bodyPartCount];
    const double* b = point < bodyPartCount ? before.joint[point] : before.end[point - bodyPartCount];
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

}  // namespace

// Each motion in 0.5 degree steps, counts rounded: every node part within 1.0 degree of the doll, no joint or
// end point moving more than three times its true step plus 1.5 cm, the channels giving the rotation and
// no channel stepping by more than 15 degrees; a node-less part on several nodes' chains at rest; with exact vectors, a
// motion about one axis gives each sharing part 1/n of the angle and the node part the rest, or all of it
// where it keeps that side.
TEST(FigureSolve, ContinuousMotions) {
    for (const Motion& motion : motions) {
        SCOPED_TRACE(motion.name);
        resetFakePlatform();
        applyPartMask(0x7F);
        bodyPartTable[motion.off].flags |= motion.off != 0 ? NoNode : 0;
        bool oneAxis = motion.tilt == 0;
        double span = 0;
        for (const Move& move : motion.moves) {
            span = std::max(span, std::fabs(move.to - move.from));
            oneAxis = oneAxis && move.before == 0;
        }
        const int steps = static_cast<int>(span / 0.5);
        FigurePose before[2];
        PoseFrame angles{};
        FigureFrame exact{}, rounded{};
        double worstNode = 0, worstJump = 0, worstChannel = 0;
        for (int step = 0; step <= steps; ++step) {
            Rotation truth[bodyPartCount], found[bodyPartCount];
            dollAt(motion, static_cast<double>(step) / steps, truth);
            std::int8_t sensor[bodyPartCount][6] = {};
            for (int row = 0; row < bodyPartCount; ++row)
                if (!(bodyPartTable[row].flags & NoNode)) sensorOf(row, truth[row], sensor[row]);
            nodeRotations(sensor, found);
            solveFigure(truth, 1, exact);
            solveFigure(found, 1, rounded);
            FigurePose now[2];  // exact, rounded
            placeFigure(exact.local, exact.root, now[0]);
            placeFigure(rounded.local, rounded.root, now[1]);
            for (int row = 0; row < bodyPartCount; ++row)
                if (!(bodyPartTable[row].flags & NoNode))
                    worstNode = std::max(worstNode, angleBetween(fromMatrix(now[1].rotation[row]), truth[row]));
            for (int point = 0; point < 2 * bodyPartCount && step > 0; ++point)
                worstJump = std::max(worstJump, moved(now[1], before[1], point) - 3 * moved(now[0], before[0], point));
            // With the chest's node off, waist, abdomen and chest lie on the chains of head and both arms.
            for (int row = 1; row <= 3 && motion.off == chest; ++row)
                EXPECT_LT(angleBetween(rounded.local[row], identityRotation), 1e-12) << row;
            const PoseFrame previous = angles;
            figureAngles(rounded, angles);
            for (int row = 0; row < bodyPartCount; ++row) {
                EXPECT_LT(angleBetween(partRotation(angles.jointAngles[row]), rounded.local[row]), 1e-9) << row;
                for (int k = 0; k < 3 && step > 0; ++k)
                    worstChannel =
                        std::max(worstChannel, std::fabs(angles.jointAngles[row][k] - previous.jointAngles[row][k]));
            }
            for (const Move& move : motion.moves) {
                if (!oneAxis) break;
                const BodyPart& part = bodyPartTable[move.row];
                const int reference = referenceRow(move.row);
                int n = 1;
                for (int walk = part.parent; walk != reference; walk = bodyPartTable[walk].parent) ++n;
                const double angle = angleOf(move, static_cast<double>(step) / steps);
                const bool kept = ((part.flags & KeepPositiveSide) && move.axis[2] * angle > 0) ||
                                  ((part.flags & KeepNegativeSide) && move.axis[2] * angle < 0);
                for (int walk = part.parent; walk != reference; walk = bodyPartTable[walk].parent)
                    EXPECT_LT(angleBetween(exact.local[walk], turned(move.axis, kept ? 0 : angle / n)), 1e-9) << walk;
                EXPECT_LT(angleBetween(exact.local[move.row], turned(move.axis, kept ? angle : angle / n)), 1e-9);
            }
            std::copy(now, now + 2, before);
        }
        EXPECT_LT(worstNode / degree, 1.0);
        EXPECT_LE(worstJump, 1.5);
        EXPECT_LT(worstChannel / degree, 15.0);
        std::printf("%-44s %4d steps: node parts within %.2f deg, joints %.2f cm past 3 true steps, channels %.2f deg\n",
                    motion.name, steps, worstNode / degree, worstJump, worstChannel / degree);
    }
}
