// The figure as a VMC performer sends it: Unity's humanoid bones, each with
// its place in its parent bone at rest and its rotation in its parent
// relative to rest (a VRM model's rest is the reference figure's T-pose, so
// the rotation is the figure solve's own). Parts without a humanoid bone pass
// their rotation on to the bone below them; bones without a part stay at rest.
#pragma once

#include <array>
#include <cstdint>

#include "output/osc_message.h"
#include "solver/figure_solve.h"

constexpr int vmcBoneCount = 22;
constexpr std::uint8_t noPart = 255;

struct VmcBone {
    char name[16];             // Unity's HumanBodyBones name
    std::uint8_t parent;       // bone index, noPart for Hips
    std::uint8_t parts[2];     // the body-part rows whose rotations make the bone's, parent side first; noPart for none
};

extern const std::array<VmcBone, vmcBoneCount> vmcBones;

// The part whose joint and rotation a bone ends at: its second part when it
// has two, else its first; noPart when it has none.
std::uint8_t vmcLastPart(int bone);

// One frame in the figure's axes: each bone's rotation in its parent, and
// where hip's joint lies (centimetres, as FigureFrame::root).
struct VmcFrame {
    Rotation local[vmcBoneCount];
    double hips[3];
};

void vmcFrameOf(const FigureFrame& figure, VmcFrame& frame);

// The frame `share` of the way from `a` to `b`: every rotation along the
// shorter arc, hip's place along the straight line.
void vmcFrameBetween(const VmcFrame& a, const VmcFrame& b, double share, VmcFrame& between);

// Unity's axes are left-handed, Y up, the avatar facing +Z with its right
// side towards +X; the figure's are right-handed, Y up, facing +Z with its
// right towards -X. One is the other mirrored in X: a place (x, y, z) becomes
// (-x, y, z) and a rotation (w, x, y, z) becomes (w, x, -y, -z).
void mirrorPlace(const double place[3], double mirrored[3]);
Rotation mirrorRotation(const Rotation& r);

// Where `bone` lies in its parent at rest, metres, Unity's axes.
void vmcRestPlace(int bone, double place[3]);

// The frame's bundle: /VMC/Ext/OK 1, /VMC/Ext/T `seconds`, /VMC/Ext/Root/Pos
// "root" at the origin unturned, then /VMC/Ext/Bone/Pos of every bone in
// table order (name, place x y z, rotation x y z w), Hips at hip's joint.
// Returns 1, or 0 when it did not fit.
int writeVmcBundle(const VmcFrame& frame, double seconds, OscPacket& packet);
