// The pose file: a PZ2 pose of the selected parts followed by a diagnostic
// block with the sensor vectors and angles of every part that has a node.
#pragma once

#include <cstdint>
#include <cstdio>

#include "model/body_parts.h"

// The open pose file, null except during one call of writePoseFile.
extern std::FILE* poseFile;

// Set by the first write of a file that fails; each writePoseFile starts it
// clear, as the BVH writer does its own, so that one failed file does not
// fail the next.
extern int writeFailed;

// The last word of the diagnostic block's program line: "DEMO" while the
// sensor vectors come from a sample pose, "LIVE" when they were read from
// the doll.
extern const char* captureLabel;

// Radians to degrees, multiplied before divided.
double toDegrees(double radians);

// Writes `text` and one LF, unless no file is open or a write has failed.
void putLine(const char* text);

// Writes the pose file `fileName` ("wb", LF line ends) for the rows whose bit
// is set in `selectionMask` (bit i = row i, bits 18 and up ignored). Returns 1
// when everything was written and the file closed without error; otherwise
// shows the error box and returns 0; a partial file stays as closeOutputFile
// leaves it.
int writePoseFile(const char* fileName, std::uint32_t selectionMask);

// One key of a pose file: the frame it stands at and every row's joint angles
// there (radians: bend, side, roll).
struct PoseKey {
    int frame;
    double jointAngles[bodyPartCount][3];
};

// The table's joint angles as they stand, as the key at `frame`.
void tableKey(int frame, PoseKey& key);

// writePoseFile with the channels carrying `count` keys, one key line each
// in the order given, in place of the table's angles at frame 0; the
// diagnostic block still shows the table as it stands.
int writePoseKeys(const char* fileName, std::uint32_t selectionMask, const PoseKey* keys, int count);
