#include "solver/figure_pose.h"

#include "model/reference_figure.h"
#include "solver/joint_angles.h"

namespace {

// out = origin + rotation * (to - from).
void place(const double origin[3], const double rotation[3][3], const double to[3], const double from[3],
           double out[3]) {
    for (int row = 0; row < 3; ++row) {
        out[row] = origin[row];
        for (int k = 0; k < 3; ++k) out[row] += rotation[row][k] * (to[k] - from[k]);
    }
}

}  // namespace

Rotation partRotation(const double angles[3]) {
    double m[3][3];
    for (int column = 0; column < 3; ++column) {
        double axis[3] = {0.0, 0.0, 0.0};
        axis[column] = 1.0;
        rotateVector(angles[0], angles[1], angles[2], 0, axis);
        for (int k = 0; k < 3; ++k) m[k][column] = axis[k];
    }
    return fromMatrix(m);
}

// Rows go in table order, so a parent is placed before its children.
void placeFigure(const Rotation local[bodyPartCount], const double root[3], FigurePose& pose) {
    Rotation world[bodyPartCount];
    for (int row = 0; row < bodyPartCount; ++row) {
        const ReferencePart& rest = referenceFigure[row];
        int parent = bodyPartTable[row].parent;
        if (parent == noParent) {
            world[row] = local[row];
            for (int k = 0; k < 3; ++k) pose.joint[row][k] = root[k];
        } else {
            world[row] = compose(world[parent], local[row]);
            place(pose.joint[parent], pose.rotation[parent], rest.joint, referenceFigure[parent].joint,
                  pose.joint[row]);
        }
        rotationMatrix(world[row], pose.rotation[row]);
        place(pose.joint[row], pose.rotation[row], rest.end, rest.joint, pose.end[row]);
    }
}
