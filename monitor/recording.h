// A recording of the monitor: the complete frames streamed between 記録 and
// 停止, saved as one BVH animation at a standard frame rate. Frames are kept
// as their sensor counts and the instant each node was read, 252 bytes each,
// and solved again while the file is written, so that an hour at the line's
// 4.5 frames a second holds about 4 MB.
#pragma once

#include <cstdint>

#include "monitor/monitor_frame.h"

// The most frames one recording holds: about six hours at the line's rate,
// 25 MB. A recording that reaches it stops by itself and is saved.
constexpr int recordingFrameLimit = 100000;

// A gap in a node's readings longer than this is named when the recording is saved.
constexpr double recordingGapToName = 0.5;

struct RecordedFrame {
    std::int8_t sensor[bodyPartCount][6];
    double readAt[bodyPartCount];  // reader's clock
};

struct Recording {
    RecordedFrame* frames;  // from malloc; grows by doubling up to the limit
    int count, capacity;
    unsigned leftOut;       // frames streamed while recording that were not complete
};

// Takes a frame streamed while recording: a complete one is kept, an
// incomplete one counted. Returns 0, keeping nothing, when the recording is
// full: at the limit, or when no memory can be had for more.
int recordFrame(Recording& recording, const MonitorFrame& frame);

// The output frames of a recording at `rate` frames a second. Every node's
// rotation is interpolated to each output instant from its readings just
// before and after it, so that all parts of a frame show one instant. The
// first output instant is the first at which every node has a reading before
// and after (`first`, on the reader's clock); then one each 1 / rate seconds
// while that holds. `gap` and `gapAt` give the longest time between two
// readings of a node and when it began, seconds from the first output instant.
struct RecordingTimes {
    int frames;
    double first, gap, gapAt;
};
RecordingTimes recordingTimes(const Recording& recording, int rate);

// Writes the output frames as a BVH animation with a frame time of 1 / rate,
// each solved as the monitor's figure (grounded or not). The writer's own
// failure shows its box; returns 1 or 0. A rate that is not positive writes
// nothing and returns 0 (the settings file allows only the standard rates).
int saveRecording(const Recording& recording, int rate, int grounded, const char* fileName);

// Lets go of the frames and leaves the recording empty, as a zeroed one is,
// ready to take frames again.
void freeRecording(Recording& recording);
