#include "solver/figure_pose.h"

#include "model/reference_figure.h"
#include "solver/joint_angles.h"

namespace {

// out = a * b. `out` is neither `a` nor `b`.
void multiply(const double a[3][3], const double b[3][3], double out[3][3]) {
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            out[row][column] = a[row][0] * b[0][column] + a[row][1] * b[1][column] + a[row][2] * b[2][column];
}

// out = origin + rotation * (to - from).
void place(const double origin[3], const double rotation[3][3], const double to[3], const double from[3],
           double out[3]) {
    for (int row = 0; row < 3; ++row) {
        out[row] = origin[row];
        for (int k = 0; k < 3; ++k) out[row] += rotation[row][k] * (to[k] - from[k]);
    }
}

}  // namespace

void takePoseFrame(PoseFrame& frame) {
    for (int row = 0; row < bodyPartCount; ++row)
        for (int k = 0; k < 3; ++k) frame.jointAngles[row][k] = bodyPartTable[row].jointAngles[k];
}

// Rows go in table order, so a parent is placed before its children.
void poseFigure(const PoseFrame& frame, FigurePose& pose) {
    for (int row = 0; row < bodyPartCount; ++row) {
        const double* angles = frame.jointAngles[row];
        double local[3][3];
        for (int column = 0; column < 3; ++column) {
            double axis[3] = {0.0, 0.0, 0.0};
            axis[column] = 1.0;
            rotateVector(angles[0], angles[1], angles[2], 0, axis);
            for (int k = 0; k < 3; ++k) local[k][column] = axis[k];
        }
        const ReferencePart& rest = referenceFigure[row];
        int parent = bodyPartTable[row].parent;
        if (parent == noParent) {
            for (int k = 0; k < 3; ++k) {
                for (int column = 0; column < 3; ++column) pose.rotation[row][k][column] = local[k][column];
                pose.joint[row][k] = rest.joint[k];
            }
        } else {
            multiply(pose.rotation[parent], local, pose.rotation[row]);
            place(pose.joint[parent], pose.rotation[parent], rest.joint, referenceFigure[parent].joint,
                  pose.joint[row]);
        }
        place(pose.joint[row], pose.rotation[row], rest.end, rest.joint, pose.end[row]);
    }
}
