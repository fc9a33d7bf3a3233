// A doll whose nodes are turned by known rotations: what each node reads.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/body_parts.h"
#include "solver/rotation.h"

// What a node turned by `world` reads: +Y and +Z of the world, one g (64 counts) long, in the node's axes after
// the mounting remap; `counts` rounds them as the sensor does.
inline void readingOf(const Rotation& world, double u[3], double v[3], bool counts) {
    const double up[3] = {0, 64, 0}, front[3] = {0, 0, 64};
    rotate(inverse(world), up, u);
    rotate(inverse(world), front, v);
    for (int k = 0; k < 3 && counts; ++k) u[k] = std::round(u[k]), v[k] = std::round(v[k]);
}

// The same as row's raw sensor values, in counts: the mounting remap undone.
inline void sensorOf(int row, const Rotation& world, std::int8_t sensor[6]) {
    double u[3], v[3];
    readingOf(world, u, v, true);
    for (int vector = 0; vector < 2; ++vector) {
        const double* f = vector == 0 ? u : v;
        double raw[3];
        switch (bodyPartTable[row].mounting) {
        case 1: raw[0] = -f[2]; raw[1] = -f[0]; raw[2] = f[1]; break;
        case 2: raw[0] = -f[0]; raw[1] = -f[1]; raw[2] = f[2]; break;
        case 3: raw[0] = f[2]; raw[1] = f[0]; raw[2] = f[1]; break;
        default: raw[0] = f[0]; raw[1] = f[1]; raw[2] = f[2]; break;
        }
        for (int k = 0; k < 3; ++k) sensor[3 * vector + k] = static_cast<std::int8_t>(raw[k]);
    }
}
