#include "output/vmc_frame.h"

#include "model/reference_figure.h"

namespace {

// The body-part rows, in the order of model/body_parts.cpp.
namespace part {
enum : std::uint8_t {
    hip, waist, abdomen, chest, neck, head, rCollar, rShldr, rForeArm,
    lCollar, lShldr, lForeArm, rButtock, rThigh, rShin, lButtock, lThigh, lShin
};
}  // namespace part

// The bones, in the order of vmcBones.
namespace bone {
enum : std::uint8_t {
    Hips, Spine, Chest, UpperChest, Neck, Head,
    LeftShoulder, LeftUpperArm, LeftLowerArm, LeftHand,
    RightShoulder, RightUpperArm, RightLowerArm, RightHand,
    LeftUpperLeg, LeftLowerLeg, LeftFoot, LeftToes,
    RightUpperLeg, RightLowerLeg, RightFoot, RightToes
};
}  // namespace bone

// Where the ball of the foot lies ahead of the ankle: about half a foot's
// length (0.152 of stature, after Drillis and Contini), centimetres.
constexpr double toesAhead = 0.076 * referenceHeight;

// Where a bone's joint lies at rest, centimetres, the figure's axes: at its
// last part's joint. A bone without parts lies where its parent's last part
// ends (the wrist, the ankle), the toes on the floor ahead of the ankle.
void restJoint(int index, double joint[3]) {
    std::uint8_t row = vmcLastPart(index);
    if (row != noPart) {
        for (int k = 0; k < 3; ++k) joint[k] = referenceFigure[row].joint[k];
        return;
    }
    int parent = vmcBones[index].parent;
    // The toes: their parent, the foot, has no part either.
    if (vmcLastPart(parent) == noPart) {
        restJoint(parent, joint);
        joint[1] = 0.0;
        joint[2] += toesAhead;
        return;
    }
    for (int k = 0; k < 3; ++k) joint[k] = referenceFigure[vmcLastPart(parent)].end[k];
}

}  // namespace

// Where the figure's parts meet the humanoid bones: a bone's rotation is its
// parts' composed, a bone without parts stays at rest.
const std::array<VmcBone, vmcBoneCount> vmcBones = {{
    // Unity's bone  its parent bone        the parts, parent side first
    {"Hips",          noPart,               {part::hip, noPart}},
    {"Spine",         bone::Hips,           {part::waist, noPart}},
    {"Chest",         bone::Spine,          {part::abdomen, noPart}},
    {"UpperChest",    bone::Chest,          {part::chest, noPart}},
    {"Neck",          bone::UpperChest,     {part::neck, noPart}},
    {"Head",          bone::Neck,           {part::head, noPart}},
    {"LeftShoulder",  bone::UpperChest,     {part::lCollar, noPart}},
    {"LeftUpperArm",  bone::LeftShoulder,   {part::lShldr, noPart}},
    {"LeftLowerArm",  bone::LeftUpperArm,   {part::lForeArm, noPart}},
    {"LeftHand",      bone::LeftLowerArm,   {noPart, noPart}},
    {"RightShoulder", bone::UpperChest,     {part::rCollar, noPart}},
    {"RightUpperArm", bone::RightShoulder,  {part::rShldr, noPart}},
    {"RightLowerArm", bone::RightUpperArm,  {part::rForeArm, noPart}},
    {"RightHand",     bone::RightLowerArm,  {noPart, noPart}},
    {"LeftUpperLeg",  bone::Hips,           {part::lButtock, part::lThigh}},
    {"LeftLowerLeg",  bone::LeftUpperLeg,   {part::lShin, noPart}},
    {"LeftFoot",      bone::LeftLowerLeg,   {noPart, noPart}},
    {"LeftToes",      bone::LeftFoot,       {noPart, noPart}},
    {"RightUpperLeg", bone::Hips,           {part::rButtock, part::rThigh}},
    {"RightLowerLeg", bone::RightUpperLeg,  {part::rShin, noPart}},
    {"RightFoot",     bone::RightLowerLeg,  {noPart, noPart}},
    {"RightToes",     bone::RightFoot,      {noPart, noPart}},
}};

std::uint8_t vmcLastPart(int bone) {
    const VmcBone& b = vmcBones[bone];
    return b.parts[1] != noPart ? b.parts[1] : b.parts[0];
}

void vmcFrameOf(const FigureFrame& figure, VmcFrame& frame) {
    for (int index = 0; index < vmcBoneCount; ++index) {
        frame.local[index] = identityRotation;
        for (std::uint8_t row : vmcBones[index].parts)
            if (row != noPart) frame.local[index] = compose(frame.local[index], figure.local[row]);
    }
    for (int k = 0; k < 3; ++k) frame.hips[k] = figure.root[k];
}

void vmcFrameBetween(const VmcFrame& a, const VmcFrame& b, double share, VmcFrame& between) {
    for (int index = 0; index < vmcBoneCount; ++index)
        between.local[index] = slerp(a.local[index], b.local[index], share);
    for (int k = 0; k < 3; ++k) between.hips[k] = a.hips[k] + share * (b.hips[k] - a.hips[k]);
}

void mirrorPlace(const double place[3], double mirrored[3]) {
    mirrored[0] = -place[0];
    mirrored[1] = place[1];
    mirrored[2] = place[2];
}

Rotation mirrorRotation(const Rotation& r) { return {r.w, r.x, -r.y, -r.z}; }

void vmcRestPlace(int index, double place[3]) {
    double joint[3], from[3] = {0.0, 0.0, 0.0};
    restJoint(index, joint);
    if (vmcBones[index].parent != noPart) restJoint(vmcBones[index].parent, from);
    for (int k = 0; k < 3; ++k) joint[k] = (joint[k] - from[k]) / 100.0;
    mirrorPlace(joint, place);
}

int writeVmcBundle(const VmcFrame& frame, double seconds, OscPacket& packet) {
    startOscBundle(packet);
    startOscMessage(packet, "/VMC/Ext/OK", ",i");
    putOscInt(packet, 1);
    startOscMessage(packet, "/VMC/Ext/T", ",f");
    putOscFloat(packet, static_cast<float>(seconds));
    startOscMessage(packet, "/VMC/Ext/Root/Pos", ",sfffffff");
    putOscString(packet, "root");
    for (float value : {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f}) putOscFloat(packet, value);
    for (int index = 0; index < vmcBoneCount; ++index) {
        double place[3];
        if (index == bone::Hips) {
            const double metres[3] = {frame.hips[0] / 100.0, frame.hips[1] / 100.0, frame.hips[2] / 100.0};
            mirrorPlace(metres, place);
        } else {
            vmcRestPlace(index, place);
        }
        Rotation r = mirrorRotation(frame.local[index]);
        startOscMessage(packet, "/VMC/Ext/Bone/Pos", ",sfffffff");
        putOscString(packet, vmcBones[index].name);
        for (double value : {place[0], place[1], place[2], r.x, r.y, r.z, r.w})
            putOscFloat(packet, static_cast<float>(value));
    }
    return finishOscBundle(packet);
}
