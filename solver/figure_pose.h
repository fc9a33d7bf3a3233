// The reference figure posed: each part's rotation and where its joint and
// end point lie in the world, for drawing the figure and for the motion file.
#pragma once

#include "model/body_parts.h"
#include "solver/rotation.h"

// Every part's joint angles at one moment, by row, as the motion file's
// channels carry them: radians, bend (about X), side (about Z), roll (about
// Y), the part's rotation in its parent being Rz(side) * Rx(bend) * Ry(roll);
// and where hip's joint lies, centimetres.
struct PoseFrame {
    double jointAngles[bodyPartCount][3];
    double root[3];
};

struct FigurePose {
    double rotation[bodyPartCount][3][3];  // part to world: world vector = rotation * part vector
    double joint[bodyPartCount][3];        // centimetres, axes of the reference figure
    double end[bodyPartCount][3];          // centimetres; a part with children ends at its joint
};

// The rotation of a part in its parent for angles bend, side, roll.
Rotation partRotation(const double angles[3]);

// Each part's world rotation is its parent's times its own rotation in the
// parent (`local`); hip's is its own, and hip's joint lies at `root`. Every
// other joint lies where its parent's world rotation carries its rest offset
// from the parent's joint, and an end point where the part's own rotation
// carries its rest offset from the joint.
void placeFigure(const Rotation local[bodyPartCount], const double root[3], FigurePose& pose);
