// The pose file: a PZ2 pose of the selected parts followed by a diagnostic
// block with the sensor vectors and angles of every part that has a node.
#pragma once

#include <cstdint>
#include <cstdio>

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
