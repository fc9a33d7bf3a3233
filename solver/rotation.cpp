#include "solver/rotation.h"

#include <cmath>

namespace {

Rotation normalised(Rotation r) {
    double length = std::sqrt(r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z);
    if (length == 0.0) return identityRotation;
    return {r.w / length, r.x / length, r.y / length, r.z / length};
}

}  // namespace

Rotation compose(const Rotation& a, const Rotation& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Rotation inverse(const Rotation& r) { return {r.w, -r.x, -r.y, -r.z}; }

void rotate(const Rotation& r, const double v[3], double out[3]) {
    // v + 2w (q x v) + 2 q x (q x v), q the vector part.
    double tx = 2 * (r.y * v[2] - r.z * v[1]);
    double ty = 2 * (r.z * v[0] - r.x * v[2]);
    double tz = 2 * (r.x * v[1] - r.y * v[0]);
    double x = v[0] + r.w * tx + (r.y * tz - r.z * ty);
    double y = v[1] + r.w * ty + (r.z * tx - r.x * tz);
    double z = v[2] + r.w * tz + (r.x * ty - r.y * tx);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void rotationMatrix(const Rotation& r, double m[3][3]) {
    for (int column = 0; column < 3; ++column) {
        double axis[3] = {0.0, 0.0, 0.0}, image[3];
        axis[column] = 1.0;
        rotate(r, axis, image);
        for (int row = 0; row < 3; ++row) m[row][column] = image[row];
    }
}

// From the largest of the four squared components, so that no division is by
// a small number.
Rotation fromMatrix(const double m[3][3]) {
    double trace = m[0][0] + m[1][1] + m[2][2];
    Rotation r;
    if (trace >= m[0][0] && trace >= m[1][1] && trace >= m[2][2]) {
        double s = 2 * std::sqrt(1.0 + trace);
        r = {s / 4, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
    } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        double s = 2 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
        r = {(m[2][1] - m[1][2]) / s, s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
    } else if (m[1][1] >= m[2][2]) {
        double s = 2 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
        r = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s};
    } else {
        double s = 2 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
        r = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4};
    }
    return normalised(r);
}

void rotationVector(const Rotation& r, double v[3]) {
    double sign = r.w < 0.0 ? -1.0 : 1.0;  // -q is q: take the half with w >= 0
    double sine = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    double angle = 2 * std::atan2(sine, sign * r.w);
    // Near zero angle / sine tends to 2, which keeps the small vector exact.
    double scale = sine < 1e-300 ? 2.0 : sign * angle / sine;
    v[0] = r.x * scale;
    v[1] = r.y * scale;
    v[2] = r.z * scale;
}

Rotation fromRotationVector(const double v[3]) {
    double angle = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (angle < 1e-300) return identityRotation;
    double scale = std::sin(angle / 2) / angle;
    return normalised({std::cos(angle / 2), v[0] * scale, v[1] * scale, v[2] * scale});
}

Rotation rotationBetween(const double from[3], const double to[3]) {
    double dot = from[0] * to[0] + from[1] * to[1] + from[2] * to[2];
    double cross[3] = {from[1] * to[2] - from[2] * to[1], from[2] * to[0] - from[0] * to[2],
                       from[0] * to[1] - from[1] * to[0]};
    if (dot > -1.0 + 1e-12) return normalised({1.0 + dot, cross[0], cross[1], cross[2]});
    // Opposite directions: half a turn about any axis across `from`.
    double axis[3] = {0.0, -from[2], from[1]};
    if (std::fabs(from[0]) > 0.9) axis[0] = -from[1], axis[1] = from[0], axis[2] = 0.0;
    return normalised({0.0, axis[0], axis[1], axis[2]});
}

Rotation slerp(const Rotation& a, const Rotation& b, double share) {
    double v[3];
    rotationVector(compose(inverse(a), b), v);
    for (double& k : v) k *= share;
    return normalised(compose(a, fromRotationVector(v)));
}

double angleBetween(const Rotation& a, const Rotation& b) {
    double v[3];
    rotationVector(compose(a, inverse(b)), v);
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}
