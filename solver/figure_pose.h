// The reference figure posed by joint angles: each part's rotation and where
// its joint and end point lie in the world, for drawing the figure and for
// the motion file.
#pragma once

#include "model/body_parts.h"

// Every part's joint angles at one moment, by row: radians, bend, side, roll.
struct PoseFrame {
    double jointAngles[bodyPartCount][3];
};

struct FigurePose {
    double rotation[bodyPartCount][3][3];  // part to world: world vector = rotation * part vector
    double joint[bodyPartCount][3];        // centimetres, axes of the reference figure
    double end[bodyPartCount][3];          // centimetres; a part with children ends at its joint
};

// Copies every row's jointAngles out of the body-part table.
void takePoseFrame(PoseFrame& frame);

// A part's rotation in its parent is Rz(side) * Rx(bend) * Ry(roll), the
// transpose of the orientation M of its angles, and its world rotation is its
// parent's times that; hip's is its own. Hip's joint stays where the
// reference figure has it. Every other joint lies where its parent's world
// rotation carries its rest offset from the parent's joint, and an end point
// where the part's own rotation carries its rest offset from the joint.
void poseFigure(const PoseFrame& frame, FigurePose& pose);
