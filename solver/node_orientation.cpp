#include "solver/node_orientation.h"

#include <cmath>

namespace {

constexpr double pi = 3.141592653589793;
constexpr double halfPi = 1.5707963267948966;

// A zero vector keeps length 1 so that it stays zero instead of becoming NaN.
void normalise(double& x, double& y, double& z) {
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) length = 1.0;
    x /= length;
    y /= length;
    z /= length;
}

}  // namespace

double quadrantAngle(double y, double x) {
    if (std::fabs(x) < 1e-6) return y >= 0.0 ? halfPi : -halfPi;
    double a = std::atan(y / x);
    if (x > 0.0) return a;
    return y >= 0.0 ? a + pi : a - pi;
}

void searchLockedAngles(double a, double b, double sign, double& side, double& roll) {
    // b = 0 with a != 0 makes a / b infinite and d = pi/2; a = b = 0 makes d
    // NaN, and every comparison below then fails.
    double d = std::fabs(std::atan(a / b));
    const double candidates[8] = {d, -d, d + halfPi, halfPi - d, d - halfPi, -halfPi - d, pi - d, d - pi};
    // Bits 0, 1 and 4 of i select side, bits 2, 3 and 5 roll: every pair is
    // tried once, and the first that fits wins.
    for (int i = 0; i < 64; ++i) {
        double g = candidates[(i & 3) + 4 * ((i >> 4) & 1)];
        double h = candidates[((i >> 2) & 3) + 4 * ((i >> 5) & 1)];
        if (std::fabs(sign * std::cos(g) * std::sin(h) + std::sin(g) * std::cos(h) - a) < 0.07 &&
            std::fabs(std::sin(g) * std::sin(h) - sign * std::cos(g) * std::cos(h) - b) < 0.07) {
            side = g;
            roll = h;
            return;
        }
    }
}

void solveNodeOrientation(double ux, double uy, double uz, double vx, double vy, double vz,
                          double& bend, double& side, double& roll) {
    normalise(ux, uy, uz);
    normalise(vx, vy, vz);
    bend = std::asin(std::fmax(-1.0, std::fmin(1.0, vy)));

    if (std::fabs(vy) > 0.99) {
        double sign = bend >= 0.0 ? 1.0 : -1.0;
        // At bend = sign * pi/2 only side + sign * roll is determined. When no
        // candidate pair fits, roll is 0 and side turns (0, 1, 0) onto the x
        // and z of u, as M * (0, 1, 0) = (sin side, 0, -sign * cos side) there.
        // Without any x or z there is no direction to follow, and side stays 0.
        roll = 0.0;
        side = ux == 0.0 && uz == 0.0 ? 0.0 : std::atan2(ux, -sign * uz);
        searchLockedAngles(ux, uz, sign, side, roll);
        return;
    }

    // asin reaches only +-pi/2; a second vector pointing backwards (vz < 0)
    // means the node is bent beyond that.
    if (vz < 0.0) bend = bend >= 0.0 ? pi - bend : -pi - bend;
    // |vy| <= 0.99 keeps cb at least 0.14.
    double cb = std::cos(bend);
    roll = quadrantAngle(-vx / cb, vz / cb);
    double k = uy / cb;
    // Near roll = +-pi/2 cos(roll) vanishes; solve through the z row instead.
    double q = std::fabs(std::fabs(roll) - halfPi) < 0.001
                   ? (uz + std::sin(bend) * (k * std::cos(roll))) / std::sin(roll)
                   : (ux - std::sin(bend) * (k * std::sin(roll))) / std::cos(roll);
    side = quadrantAngle(q, k);
}
