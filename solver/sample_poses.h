// The four sample poses built into the program: raw sensor values of the
// eleven node rows, which the execute button loads in place of a reading of
// the doll.
#pragma once

#include <array>
#include <cstdint>

constexpr int samplePoseCount = 4;
constexpr int samplePoseEntryCount = 11;

struct SamplePoseEntry {
    std::int32_t row;        // body-part row the entry fills
    std::int8_t first[3];    // x1 y1 z1 in the node's own axes, counts (64 = one g)
    std::int8_t second[3];   // x2 y2 z2
};

using SamplePose = std::array<SamplePoseEntry, samplePoseEntryCount>;

// Each pose lists the node rows in table order.
extern const std::array<SamplePose, samplePoseCount> samplePoseTable;

// Index of the pose to load, 0 to 3.
extern int samplePose;

// Copies pose `samplePose` into the `sensor` fields of the rows it names;
// nothing else of the table changes. Returns 1: it cannot fail.
int loadSamplePose();
