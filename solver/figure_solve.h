// The figure true to the doll, for everything drawn or exported beyond the
// pose file: every node part's world rotation is the one its two sensor
// vectors give, the node-less parts between take continuous shares of the
// rotation below them, and the channels of the motion file follow each other
// without jumps. The pose file keeps the joint angles of joint_angles.h.
#pragma once

#include <cstdint>

#include "solver/figure_pose.h"
#include "solver/rotation.h"

// Every part's rotation in its parent (hip's in the world), and where hip's
// joint lies, centimetres.
struct FigureFrame {
    Rotation local[bodyPartCount];
    double root[3];
};

// A node's rotation, part to world, from its two vectors in the figure's
// axes (any length): the one rotation that carries u's direction to +Y and
// v's to +Z when the two are square to each other, as exact vectors are; for
// measured ones, the rotation that fits both directions best in the least
// squares sense with equal weights (both vectors are read by the same sensor
// with the same resolution), which carries the bisector of u and v to the
// bisector of +Y and +Z and their plane to the Y-Z plane. Vectors that give
// no plane (one of them zero, or the two parallel) still give the rotation
// that carries the other, or u, to its axis the shortest way; none at all gives
// the rest.
Rotation fitNodeRotation(const double u[3], const double v[3]);

// The world rotation of `row`'s node from its sensor counts (x1 y1 z1 x2 y2 z2),
// through the row's mounting remap; the same for counts averaged over several
// readings.
Rotation sensorRotation(int row, const std::int8_t sensor[6]);
Rotation sensorRotation(int row, const double sensor[6]);

// The world rotation of every row with a node, from its sensor counts; rows
// without one get the rest.
void nodeRotations(const std::int8_t sensor[bodyPartCount][6], Rotation world[bodyPartCount]);

// Every part's rotation in its parent from the nodes' world rotations, as the
// body-part table's flags and selectable bytes stand:
// - hip takes its world rotation;
// - G, a node's rotation relative to its nearest ancestor with a node, is
//   split into a swing of the node part's bone and a twist about it; each
//   node-less part between that lies on this one node's chain and is
//   selectable takes 1/n of the swing and of the twist (n = those parts + 1),
//   and the node part the remainder, so that its world rotation is exactly
//   the node's. For a G about one axis this is 1/n of its angle, each (a
//   twist past 150 degrees is shared less and less, and not at all at half
//   a turn, where either way round is the same turn);
// - KeepPositiveSide and KeepNegativeSide: the swing's part about the front
//   axis (Z), when of the kept sign, stays whole on the node part;
// - a node-less part on the chains of several nodes (when a node above them
//   is switched off), or on none, stays at rest.
// With `grounded` 1 hip's joint is lifted or lowered so that the figure's
// lowest joint or end point lies on the floor (Y = 0); with 0 it stays where
// the reference figure has it.
void solveFigure(const Rotation world[bodyPartCount], int grounded, FigureFrame& frame);

// Each part's rotation in its parent as bend, side and roll (radians, the
// motion file's Xrotation, Zrotation and Yrotation), into `angles`, which
// holds the previous frame's angles (zeros before the first frame): of the
// triples that give the rotation, the one nearest the previous, so that no
// channel steps by half a turn or more between frames. Also copies the root.
void figureAngles(const FigureFrame& frame, PoseFrame& angles);

// One frame of a motion from the nodes' world rotations: solveFigure, then
// figureAngles into `angles`, which holds the frame before.
void solveFigureAngles(const Rotation world[bodyPartCount], int grounded, PoseFrame& angles);
