// Joint angles: each node's orientation relative to its nearest ancestor with
// a node, shared out over the node-less parts between them. Angles are
// radians, bend, side, roll, with the convention of node_orientation.h.
#pragma once

#include "model/body_parts.h"

// Rotates `vector` (x, y, z) in place. Order 0 applies Ry(roll), then
// Rx(bend), then Rz(side): the transpose of M(bend, side, roll). Order 1
// applies Rz(side), then Rx(bend), then Ry(roll): with all three angles
// negated, M(bend, side, roll).
void rotateVector(double bend, double side, double roll, int order, double vector[3]);

// A node's sensor values (x1 y1 z1 x2 y2 z2, counts) as the two vectors in
// the figure's axes, by the row's mounting; the same for counts averaged
// over several readings.
void remapSensor(int mounting, const std::int8_t sensor[6], double u[3], double v[3]);
void remapSensor(int mounting, const double sensor[6], double u[3], double v[3]);

// The nearest ancestor of `row` with a node; hip always has one.
int referenceRow(int row);

// The angles whose orientation is M(node) * M(reference)^T.
void relativeAngles(const double node[3], const double reference[3], double out[3]);

// Fills `absoluteAngles` of every row with a node from its `sensor` as it
// stands, and `jointAngles` of every row with a node and of the node-less
// rows between it and its reference. Reads `flags` and `selectable` as they
// stand.
void solveSensorVectors();

// Loads the sample pose, then solveSensorVectors.
void solvePose();
