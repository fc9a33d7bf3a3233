#include "solver/figure_solve.h"

#include <cmath>

#include "model/reference_figure.h"
#include "solver/joint_angles.h"

namespace {

constexpr double pi = 3.141592653589793;

double length(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// `v` scaled to length 1; 0 when it has no length.
int unit(const double v[3], double out[3]) {
    double size = length(v);
    if (!(size > 1e-12)) return 0;
    for (int k = 0; k < 3; ++k) out[k] = v[k] / size;
    return 1;
}

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The direction of a part's bone at rest: from its joint to its first child's
// joint, or to its end point when it has no child.
void boneAxis(int row, double axis[3]) {
    const double* to = referenceFigure[row].end;
    for (int child = row + 1; child < bodyPartCount; ++child)
        if (bodyPartTable[child].parent == row) {
            to = referenceFigure[child].joint;
            break;
        }
    double bone[3];
    for (int k = 0; k < 3; ++k) bone[k] = to[k] - referenceFigure[row].joint[k];
    unit(bone, axis);
}

// `angle` plus the whole turns that bring it nearest `near`.
double nearestTurn(double angle, double near) { return angle + 2 * pi * std::round((near - angle) / (2 * pi)); }

// Twists up to this are shared out as they are.
constexpr double sharedTwist = 5 * pi / 6;

// What each node-less part between a node and its reference takes of G: the
// fraction `share` of G's swing of the bone `axis` and of its twist about it.
// The swing is kept whole, about Z, where the node part keeps that side.
// A twist of half a turn is the same turn either way round, but a fraction
// of it is not; so that the shares stay continuous there, a twist past
// sharedTwist is shared less and less, and not at all at half a turn. Within
// it, a twist alone is shared as the host's angles share it.
Rotation chainShare(const Rotation& g, const double axis[3], double share, std::uint8_t flags) {
    double along = g.x * axis[0] + g.y * axis[1] + g.z * axis[2];
    Rotation twist{g.w, along * axis[0], along * axis[1], along * axis[2]};
    double size = std::sqrt(twist.w * twist.w + along * along);
    // A swing of half a turn leaves no twist to speak of.
    twist = size < 1e-12 ? identityRotation : Rotation{twist.w / size, twist.x / size, twist.y / size, twist.z / size};
    Rotation swing = compose(g, inverse(twist));
    double swingVector[3], twistVector[3];
    rotationVector(swing, swingVector);
    rotationVector(twist, twistVector);
    double twistAngle = std::fabs(twistVector[0] * axis[0] + twistVector[1] * axis[1] + twistVector[2] * axis[2]);
    double twistShare = twistAngle <= sharedTwist
                            ? share
                            : share * sharedTwist / twistAngle * (pi - twistAngle) / (pi - sharedTwist);
    if (((flags & KeepPositiveSide) && swingVector[2] > 0.0) || ((flags & KeepNegativeSide) && swingVector[2] < 0.0))
        swingVector[2] = 0.0;
    for (int k = 0; k < 3; ++k) {
        swingVector[k] *= share;
        twistVector[k] *= twistShare;
    }
    return compose(fromRotationVector(swingVector), fromRotationVector(twistVector));
}

// The triple (bend, side, roll) nearest `previous` whose rotation
// Rz(side) * Rx(bend) * Ry(roll) is `r`.
void nearestTriple(const Rotation& r, const double previous[3], double angles[3]) {
    double m[3][3];
    rotationMatrix(r, m);
    double sineBend = m[2][1] < -1.0 ? -1.0 : m[2][1] > 1.0 ? 1.0 : m[2][1];
    double cosineBend = std::hypot(m[0][1], m[1][1]);
    double candidates[2][3];
    if (cosineBend > 1e-9) {
        // bend, side, roll and its twin (pi - bend, side + pi, roll + pi).
        candidates[0][0] = std::atan2(sineBend, cosineBend);
        candidates[0][1] = std::atan2(-m[0][1], m[1][1]);
        candidates[0][2] = std::atan2(-m[2][0], m[2][2]);
        candidates[1][0] = pi - candidates[0][0];
        candidates[1][1] = candidates[0][1] + pi;
        candidates[1][2] = candidates[0][2] + pi;
    } else {
        // Bend of a quarter turn: only side + roll (bend up) or side - roll
        // (bend down) is fixed; side stays where it was.
        double sum = std::atan2(m[1][0], m[0][0]);
        double side = previous[1];
        double roll = sineBend > 0.0 ? sum - side : side - sum;
        for (auto& candidate : candidates) {
            candidate[0] = sineBend > 0.0 ? pi / 2 : -pi / 2;
            candidate[1] = side;
            candidate[2] = roll;
        }
    }
    double best = -1.0;
    for (auto& candidate : candidates) {
        double distance = 0.0;
        for (int k = 0; k < 3; ++k) {
            candidate[k] = nearestTurn(candidate[k], previous[k]);
            distance += (candidate[k] - previous[k]) * (candidate[k] - previous[k]);
        }
        if (best < 0.0 || distance < best) {
            best = distance;
            for (int k = 0; k < 3; ++k) angles[k] = candidate[k];
        }
    }
}

}  // namespace

Rotation fitNodeRotation(const double u[3], const double v[3]) {
    static const double up[3] = {0.0, 1.0, 0.0}, front[3] = {0.0, 0.0, 1.0};
    double uUnit[3], vUnit[3];
    int hasU = unit(u, uUnit), hasV = unit(v, vUnit);
    double normal[3];
    cross(uUnit, vUnit, normal);
    if (!hasU || !hasV || length(normal) < 1e-9) {
        if (hasU) return rotationBetween(uUnit, up);
        if (hasV) return rotationBetween(vUnit, front);
        return identityRotation;
    }
    // The measured frame: bisector, half difference and their cross; the
    // reference frame likewise from +Y and +Z. The rotation maps one onto the other.
    double sum[3], difference[3], measured[3][3];
    for (int k = 0; k < 3; ++k) {
        sum[k] = uUnit[k] + vUnit[k];
        difference[k] = uUnit[k] - vUnit[k];
    }
    unit(sum, measured[0]);
    unit(difference, measured[1]);
    cross(measured[0], measured[1], measured[2]);
    const double half = std::sqrt(0.5);
    const double reference[3][3] = {{0.0, half, half}, {0.0, half, -half}, {-1.0, 0.0, 0.0}};
    double m[3][3];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            m[row][column] = 0.0;
            for (int k = 0; k < 3; ++k) m[row][column] += reference[k][row] * measured[k][column];
        }
    return fromMatrix(m);
}

Rotation sensorRotation(int row, const double sensor[6]) {
    double u[3], v[3];
    remapSensor(bodyPartTable[row].mounting, sensor, u, v);
    return fitNodeRotation(u, v);
}

Rotation sensorRotation(int row, const std::int8_t sensor[6]) {
    double counts[6];
    for (int k = 0; k < 6; ++k) counts[k] = sensor[k];
    return sensorRotation(row, counts);
}

void nodeRotations(const std::int8_t sensor[bodyPartCount][6], Rotation world[bodyPartCount]) {
    for (int row = 0; row < bodyPartCount; ++row)
        world[row] = bodyPartTable[row].flags & NoNode ? identityRotation : sensorRotation(row, sensor[row]);
}

void solveFigure(const Rotation world[bodyPartCount], int grounded, FigureFrame& frame) {
    // How many nodes' chains pass each node-less part.
    int chains[bodyPartCount] = {};
    for (int row = 1; row < bodyPartCount; ++row) {
        frame.local[row] = identityRotation;
        if (bodyPartTable[row].flags & NoNode) continue;
        for (int walk = bodyPartTable[row].parent; bodyPartTable[walk].flags & NoNode; walk = bodyPartTable[walk].parent)
            ++chains[walk];
    }
    frame.local[0] = world[0];
    for (int row = 1; row < bodyPartCount; ++row) {
        const BodyPart& part = bodyPartTable[row];
        if (part.flags & NoNode) continue;
        int reference = referenceRow(row);
        Rotation g = compose(inverse(world[reference]), world[row]);
        bool sharing[bodyPartCount] = {};
        int sharers = 0;
        for (int walk = part.parent; walk != reference; walk = bodyPartTable[walk].parent) {
            sharing[walk] = chains[walk] == 1 && bodyPartTable[walk].selectable != 0;
            sharers += sharing[walk];
        }
        double axis[3];
        boneAxis(row, axis);
        Rotation share = chainShare(g, axis, 1.0 / (sharers + 1), part.flags);
        // Rows above come first in the table: walking down from the reference,
        // each sharer adds its share to the turn the node part must undo.
        Rotation above = identityRotation;
        for (int walk = reference + 1; walk < row; ++walk)
            if (sharing[walk]) {
                frame.local[walk] = share;
                above = compose(above, share);
            }
        frame.local[row] = compose(inverse(above), g);
    }
    for (int k = 0; k < 3; ++k) frame.root[k] = referenceFigure[0].joint[k];
    if (!grounded) return;
    FigurePose pose;
    placeFigure(frame.local, frame.root, pose);
    double lowest = pose.joint[0][1];
    for (int row = 0; row < bodyPartCount; ++row) {
        if (pose.joint[row][1] < lowest) lowest = pose.joint[row][1];
        if (pose.end[row][1] < lowest) lowest = pose.end[row][1];
    }
    frame.root[1] -= lowest;
}

void figureAngles(const FigureFrame& frame, PoseFrame& angles) {
    for (int row = 0; row < bodyPartCount; ++row) {
        double previous[3] = {angles.jointAngles[row][0], angles.jointAngles[row][1], angles.jointAngles[row][2]};
        nearestTriple(frame.local[row], previous, angles.jointAngles[row]);
    }
    for (int k = 0; k < 3; ++k) angles.root[k] = frame.root[k];
}

void solveFigureAngles(const Rotation world[bodyPartCount], int grounded, PoseFrame& angles) {
    FigureFrame figure;
    solveFigure(world, grounded, figure);
    figureAngles(figure, angles);
}
