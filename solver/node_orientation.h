// The orientation of one node from its two sensor vectors. Angles are radians
// in the order bend (about X), side (about Z), roll (about Y); the orientation
// of a triple is M = Ry(-roll) * Rx(-bend) * Rz(-side), and the solved angles
// satisfy M * (0, 1, 0) = u / |u| and M * (0, 0, 1) = v / |v|.
#pragma once

// The angle of the point (x, y) in (-pi, pi]; any |x| below 1e-6 counts as
// zero and gives +pi/2 or -pi/2 by the sign of y (a zero y counts as positive).
double quadrantAngle(double y, double x);

// The locked case, bend = sign * pi/2 with sign = +1 or -1: looks for side and
// roll among eight candidates each that reproduce a = ux and b = uz within
// 0.07. Writes side and roll only when a pair fits.
void searchLockedAngles(double a, double b, double sign, double& side, double& roll);

// u and v may have any length, zero included. In the regular case (|vy| of the
// normalised v at most 0.99) bend, side and roll lie in (-pi, pi]; in the
// locked case bend lies in [-pi/2, pi/2]. All three results are always written.
void solveNodeOrientation(double ux, double uy, double uz, double vx, double vy, double vz,
                          double& bend, double& side, double& roll);
