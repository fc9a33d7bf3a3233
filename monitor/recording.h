// A recording of the monitor: the complete frames streamed between 記録 and
// 停止, saved as one BVH animation. Frames are kept as their sensor counts,
// 108 bytes each, and solved again one by one while the file is written, so
// that an hour at the line's 4.5 frames a second holds under 2 MB.
#pragma once

#include <cstdint>

#include "monitor/monitor_frame.h"

// The most frames one recording holds: about six hours at the line's rate,
// 10.8 MB. A recording that reaches it stops by itself and is saved.
constexpr int recordingFrameLimit = 100000;

struct RecordedFrame {
    std::int8_t sensor[bodyPartCount][6];
};

struct Recording {
    RecordedFrame* frames;  // from malloc; grows by doubling up to the limit
    int count, capacity;
    unsigned leftOut;       // frames streamed while recording that were not complete
    double started;         // when the first recorded frame's reads began, on the reader's clock
    double ended;           // when the last recorded frame's reads ended
};

// Takes a frame streamed while recording: a complete one is kept, an
// incomplete one counted. Returns 0, keeping nothing, when the recording is
// full: at the limit, or when no memory can be had for more.
int recordFrame(Recording& recording, const MonitorFrame& frame);

// The recording's duration spread over its frames, so that the animation
// plays as long as the recording took; 0 without frames.
double recordingFrameTime(const Recording& recording);

// Writes the recorded frames as a BVH animation, each solved as the monitor
// solves it. The writer's own failure shows its box; returns 1 or 0.
int saveRecording(const Recording& recording, const char* fileName);

// Lets go of the frames and leaves the recording empty, as a zeroed one is,
// ready to take frames again.
void freeRecording(Recording& recording);
