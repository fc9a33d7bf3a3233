#include "output/bvh_file.h"

#include "model/reference_figure.h"
#include "output/output_file.h"
#include "output/pose_file.h"
#include "platform/number_text.h"

namespace {

// The messages name the file by its format.
constexpr const char* bvhFileKind = "BVHファイル";

// The file being written and whether a write to it failed, during one call of writeBvhFile.
std::FILE* bvhFile;
int bvhWriteFailed;

// The frames of writeBvhFile, for its frame source.
const PoseFrame* givenFrames;

void givenFrame(int index, PoseFrame& frame) { frame = givenFrames[index]; }

// The parts in the order of the hierarchy, which is the order of each frame's values.
int hierarchyOrder[bodyPartCount];
int hierarchyCount;

// A part's depth in the hierarchy is below the number of parts; the End Site's
// offset lies two levels under its part.
constexpr char tabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
static_assert(sizeof tabs - 1 >= bodyPartCount + 1);

const char* indent(int depth) { return tabs + (sizeof tabs - 1 - depth); }

// Centimetres and degrees with six decimals, '.' under any locale.
Decimal sixDecimals(double value) { return fixedText(value, 6); }

void putOffset(int depth, const double to[3], const double from[3]) {
    putOutput(bvhFile, bvhWriteFailed, "%sOFFSET %s %s %s\n", indent(depth), sixDecimals(to[0] - from[0]).text,
              sixDecimals(to[1] - from[1]).text, sixDecimals(to[2] - from[2]).text);
}

// The part, then its children in table order (a child's row is always past
// its parent's), each child's joint given as its offset from the part's joint
// in the rest pose. Rotation channels are
// listed in the order their matrices multiply: Rz(side) * Rx(bend) * Ry(roll).
void writeJoint(int row, int depth) {
    const ReferencePart& rest = referenceFigure[row];
    const int parent = bodyPartTable[row].parent;
    hierarchyOrder[hierarchyCount++] = row;
    putOutput(bvhFile, bvhWriteFailed, "%s%s %s\n%s{\n", indent(depth), parent == noParent ? "ROOT" : "JOINT",
              bodyPartTable[row].name, indent(depth));
    if (parent == noParent) {
        // The root's place is in its position channels alone.
        putOffset(depth + 1, rest.joint, rest.joint);
        putOutput(bvhFile, bvhWriteFailed,
                  "%sCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n", indent(depth + 1));
    } else {
        putOffset(depth + 1, rest.joint, referenceFigure[parent].joint);
        putOutput(bvhFile, bvhWriteFailed, "%sCHANNELS 3 Zrotation Xrotation Yrotation\n", indent(depth + 1));
    }
    for (int child = row + 1; child < bodyPartCount; ++child)
        if (bodyPartTable[child].parent == row) writeJoint(child, depth + 1);
    if (isLeafPart(row)) {
        putOutput(bvhFile, bvhWriteFailed, "%sEnd Site\n%s{\n", indent(depth + 1), indent(depth + 1));
        putOffset(depth + 2, rest.end, rest.joint);
        putOutput(bvhFile, bvhWriteFailed, "%s}\n", indent(depth + 1));
    }
    putOutput(bvhFile, bvhWriteFailed, "%s}\n", indent(depth));
}

// Hip's joint in its position channels, then side, bend and roll of every
// part in degrees, in the order of the hierarchy.
void writeFrame(const PoseFrame& frame) {
    const double* hip = frame.root;
    putOutput(bvhFile, bvhWriteFailed, "%s %s %s", sixDecimals(hip[0]).text, sixDecimals(hip[1]).text,
              sixDecimals(hip[2]).text);
    for (int i = 0; i < hierarchyCount; ++i) {
        const double* angles = frame.jointAngles[hierarchyOrder[i]];
        putOutput(bvhFile, bvhWriteFailed, " %s %s %s", sixDecimals(toDegrees(angles[1])).text,
                  sixDecimals(toDegrees(angles[0])).text, sixDecimals(toDegrees(angles[2])).text);
    }
    putOutput(bvhFile, bvhWriteFailed, "\n");
}

}  // namespace

// LF line ends as in the pose file: the same bytes on Windows and elsewhere,
// and BVH readers take them as they take CR LF.
int writeBvhAnimation(const char* fileName, int frameCount, double frameTime, BvhFrameSource frameAt) {
    bvhFile = createOutputFile(bvhFileKind, fileName);
    if (bvhFile == nullptr) return 0;
    bvhWriteFailed = 0;
    hierarchyCount = 0;
    if (frameCount < 0) frameCount = 0;
    putOutput(bvhFile, bvhWriteFailed, "HIERARCHY\n");
    writeJoint(0, 0);
    putOutput(bvhFile, bvhWriteFailed, "MOTION\nFrames: %d\nFrame Time: %s\n", frameCount,
              sixDecimals(frameTime).text);
    for (int i = 0; i < frameCount; ++i) {
        PoseFrame frame;
        frameAt(i, frame);
        writeFrame(frame);
    }
    std::FILE* written = bvhFile;
    bvhFile = nullptr;
    return closeOutputFile(written, bvhWriteFailed, bvhFileKind, fileName);
}

int writeBvhFile(const char* fileName, const PoseFrame* frames, int frameCount, double frameTime) {
    givenFrames = frames;
    return writeBvhAnimation(fileName, frameCount, frameTime, givenFrame);
}

int writeBvhPose(const char* fileName, const PoseFrame& frame) {
    return writeBvhFile(fileName, &frame, 1, bvhPoseFrameTime);
}
