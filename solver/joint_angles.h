// Joint angles: each node's orientation relative to its nearest ancestor with
// a node, shared out over the node-less parts between them. Angles are
// radians, bend, side, roll, with the convention of node_orientation.h.
#pragma once

// Rotates `vector` (x, y, z) in place. Order 0 applies Ry(roll), then
// Rx(bend), then Rz(side): the transpose of M(bend, side, roll). Order 1
// applies Rz(side), then Rx(bend), then Ry(roll): with all three angles
// negated, M(bend, side, roll).
void rotateVector(double bend, double side, double roll, int order, double vector[3]);

// The angles whose orientation is M(node) * M(reference)^T.
void relativeAngles(const double node[3], const double reference[3], double out[3]);

// Fills `absoluteAngles` of every row with a node from its `sensor` as it
// stands, and `jointAngles` of every row with a node and of the node-less
// rows between it and its reference. Reads `flags` and `selectable` as they
// stand.
void solveSensorVectors();

// Loads the sample pose, then solveSensorVectors.
void solvePose();
