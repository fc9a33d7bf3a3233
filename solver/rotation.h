// One small rotation type for the figure: a unit quaternion, composed,
// inverted and interpolated as such. Angles appear only where a file asks for
// them (the BVH writer's channels).
#pragma once

struct Rotation {
    double w, x, y, z;  // w + xi + yj + zk, unit length
};

constexpr Rotation identityRotation{1.0, 0.0, 0.0, 0.0};

// a * b: b acts first, then a.
Rotation compose(const Rotation& a, const Rotation& b);

// The rotation that undoes `r`.
Rotation inverse(const Rotation& r);

// r applied to the 3-vector `v`, into `out` (which may be `v`).
void rotate(const Rotation& r, const double v[3], double out[3]);

// The rotation as a 3x3 matrix acting on column vectors, and back. The matrix
// must be orthonormal with determinant +1.
void rotationMatrix(const Rotation& r, double m[3][3]);
Rotation fromMatrix(const double m[3][3]);

// The rotation vector of `r`: its axis times its angle in [0, pi] (the
// shorter way round), and the rotation of such a vector.
void rotationVector(const Rotation& r, double v[3]);
Rotation fromRotationVector(const double v[3]);

// The shortest rotation taking the unit vector `from` to the unit vector `to`.
Rotation rotationBetween(const double from[3], const double to[3]);

// The rotation `share` of the way from `a` to `b` along the shorter arc
// (q and -q are one rotation): a at 0, b at 1.
Rotation slerp(const Rotation& a, const Rotation& b, double share);

// The angle of a * inverse(b), radians in [0, pi].
double angleBetween(const Rotation& a, const Rotation& b);
