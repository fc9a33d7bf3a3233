// A doll whose nodes are turned by known rotations: what each node reads.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/body_parts.h"
#include "solver/joint_angles.h"
#include "solver/rotation.h"

constexpr double degree = 3.141592653589793 / 180;  // radians

// `degrees` about `axis` (any length).
inline Rotation turned(const double axis[3], double degrees) {
    double size = std::hypot(axis[0], axis[1], axis[2]), v[3];
    for (int k = 0; k < 3; ++k) v[k] = size == 0 ? 0 : axis[k] / size * degrees * degree;
    return fromRotationVector(v);
}

// What a node turned by `world` reads: +Y and +Z of the world, one g (64 counts) long, in the node's axes after
// the mounting remap; `counts` rounds them as the sensor does.
inline void readingOf(const Rotation& world, double u[3], double v[3], bool counts) {
    const double up[3] = {0, 64, 0}, front[3] = {0, 0, 64};
    rotate(inverse(world), up, u);
    rotate(inverse(world), front, v);
    for (int k = 0; k < 3 && counts; ++k) u[k] = std::round(u[k]), v[k] = std::round(v[k]);
}

// The same as row's raw sensor values, in counts: the mounting remap, a signed permutation, undone.
inline void sensorOf(int row, const Rotation& world, std::int8_t sensor[6]) {
    double u[3], v[3];
    readingOf(world, u, v, true);
    for (int k = 0; k < 3; ++k) {
        std::int8_t unit[6] = {};
        unit[k] = 1;
        double x[3], y[3];
        remapSensor(bodyPartTable[row].mounting, unit, x, y);
        for (int axis = 0; axis < 3; ++axis) {
            if (x[axis] == 0) continue;
            sensor[k] = static_cast<std::int8_t>(x[axis] * u[axis]);
            sensor[3 + k] = static_cast<std::int8_t>(x[axis] * v[axis]);
        }
    }
}
