#include "solver/joint_angles.h"

#include <cmath>

#include "model/body_parts.h"
#include "solver/node_orientation.h"
#include "solver/sample_poses.h"

namespace {

void rotateX(double angle, double w[3]) {
    double c = std::cos(angle), s = std::sin(angle);
    double y = w[1] * c - w[2] * s;
    double z = w[1] * s + w[2] * c;
    w[1] = y;
    w[2] = z;
}

void rotateY(double angle, double w[3]) {
    double c = std::cos(angle), s = std::sin(angle);
    double x = w[0] * c + w[2] * s;
    double z = -w[0] * s + w[2] * c;
    w[0] = x;
    w[2] = z;
}

void rotateZ(double angle, double w[3]) {
    double c = std::cos(angle), s = std::sin(angle);
    double x = w[0] * c - w[1] * s;
    double y = w[0] * s + w[1] * c;
    w[0] = x;
    w[1] = y;
}

}  // namespace

// The nearest ancestor with a node; hip always has one, so the walk never
// reaches noParent.
int referenceRow(int row) {
    int walk = bodyPartTable[row].parent;
    while (bodyPartTable[walk].flags & NoNode) walk = bodyPartTable[walk].parent;
    return walk;
}

void remapSensor(int mounting, const double sensor[6], double u[3], double v[3]) {
    for (int vector = 0; vector < 2; ++vector) {
        const double* s = sensor + 3 * vector;
        double x = s[0], y = s[1], z = s[2];
        double* out = vector == 0 ? u : v;
        switch (mounting) {
        case 1: out[0] = -y; out[1] = z;  out[2] = -x; break;
        case 2: out[0] = -x; out[1] = -y; out[2] = z;  break;
        case 3: out[0] = y;  out[1] = z;  out[2] = x;  break;
        default: out[0] = x; out[1] = y;  out[2] = z;  break;
        }
    }
}

void remapSensor(int mounting, const std::int8_t sensor[6], double u[3], double v[3]) {
    double counts[6];
    for (int k = 0; k < 6; ++k) counts[k] = sensor[k];
    remapSensor(mounting, counts, u, v);
}

void rotateVector(double bend, double side, double roll, int order, double vector[3]) {
    if (order == 0) {
        rotateY(roll, vector);
        rotateX(bend, vector);
        rotateZ(side, vector);
    } else {
        rotateZ(side, vector);
        rotateX(bend, vector);
        rotateY(roll, vector);
    }
}

void relativeAngles(const double node[3], const double reference[3], double out[3]) {
    double u[3], v[3];
    for (int axis = 0; axis < 3; ++axis) {
        double w[3] = {0.0, 0.0, 0.0};
        w[axis] = 1.0;
        rotateVector(node[0], node[1], node[2], 0, w);
        rotateVector(-reference[0], -reference[1], -reference[2], 1, w);
        u[axis] = w[1];
        v[axis] = w[2];
    }
    solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], out[0], out[1], out[2]);
}

// Rows go in table order: every parent precedes its children, so a reference
// is always solved before the rows that refer to it, and a node-less row on
// several chains keeps the share of the last of them.
void solveSensorVectors() {
    for (int i = 0; i < bodyPartCount; ++i) {
        BodyPart& row = bodyPartTable[i];
        if (row.flags & NoNode) continue;

        double u[3], v[3];
        remapSensor(row.mounting, row.sensor, u, v);
        double* absolute = row.absoluteAngles;
        solveNodeOrientation(u[0], u[1], u[2], v[0], v[1], v[2], absolute[0], absolute[1], absolute[2]);
        if (i == 0) {
            for (int k = 0; k < 3; ++k) row.jointAngles[k] = absolute[k];
            continue;
        }

        // Only selectable node-less rows count, but all of them receive the share.
        int reference = referenceRow(i);
        int n = 1;
        for (int walk = row.parent; walk != reference; walk = bodyPartTable[walk].parent)
            n += bodyPartTable[walk].selectable != 0;

        double relative[3];
        relativeAngles(absolute, bodyPartTable[reference].absoluteAngles, relative);
        double bend = relative[0] / n, side = relative[1] / n, roll = relative[2] / n;
        double shareSide = side;
        if (((row.flags & KeepPositiveSide) && relative[1] > 0.0) ||
            ((row.flags & KeepNegativeSide) && relative[1] < 0.0)) {
            side = relative[1];
            shareSide = 0.0;
        }
        row.jointAngles[0] = bend;
        row.jointAngles[1] = side;
        row.jointAngles[2] = roll;
        for (int walk = row.parent; walk != reference; walk = bodyPartTable[walk].parent) {
            double* share = bodyPartTable[walk].jointAngles;
            share[0] = bend;
            share[1] = shareSide;
            share[2] = roll;
        }
    }
}

void solvePose() {
    if (loadSamplePose()) solveSensorVectors();
}
