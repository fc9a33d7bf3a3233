#include "monitor/recording.h"

#include <cstdlib>
#include <cstring>

#include "output/bvh_file.h"

namespace {

// The recording saveRecording is writing, and what its frame source keeps
// from one output frame to the next.
const Recording* savedRecording;
RecordingTimes savedTimes;
int savedRate, savedGrounded;
int cursor[bodyPartCount];  // per node: the recorded frame read last at or before the instant
PoseFrame previousAngles;   // the last frame's channels, which the next one stays near

// Node `row`'s rotation at `instant`, between its readings around it (a
// recording that has output frames has at least two).
Rotation nodeRotationAt(int row, double instant) {
    const RecordedFrame* frames = savedRecording->frames;
    int& at = cursor[row];
    while (at + 1 < savedRecording->count - 1 && frames[at + 1].readAt[row] <= instant) ++at;
    const RecordedFrame& before = frames[at];
    const RecordedFrame& after = frames[at + 1];
    Rotation from = sensorRotation(row, before.sensor[row]), to = sensorRotation(row, after.sensor[row]);
    double span = after.readAt[row] - before.readAt[row];
    double share = span > 0.0 ? (instant - before.readAt[row]) / span : 0.0;
    return slerp(from, to, share < 0.0 ? 0.0 : share > 1.0 ? 1.0 : share);
}

// Output frame `index`; frames are asked for in order from 0.
void recordedFrame(int index, PoseFrame& angles) {
    if (index == 0) {
        for (int& at : cursor) at = 0;
        previousAngles = PoseFrame{};
    }
    double instant = savedTimes.first + static_cast<double>(index) / savedRate;
    Rotation world[bodyPartCount];
    for (int row = 0; row < bodyPartCount; ++row)
        world[row] = bodyPartTable[row].flags & NoNode ? identityRotation : nodeRotationAt(row, instant);
    solveFigureAngles(world, savedGrounded, previousAngles);
    angles = previousAngles;
}

}  // namespace

int recordFrame(Recording& recording, const MonitorFrame& frame) {
    if (frame.failedRows != 0) {
        ++recording.leftOut;
        return 1;
    }
    if (recording.count == recording.capacity) {
        if (recording.capacity == recordingFrameLimit) return 0;
        int capacity = recording.capacity == 0 ? 256 : recording.capacity * 2;
        if (capacity > recordingFrameLimit) capacity = recordingFrameLimit;
        void* grown = std::realloc(recording.frames, sizeof recording.frames[0] * static_cast<std::size_t>(capacity));
        if (grown == nullptr) return 0;
        recording.frames = static_cast<RecordedFrame*>(grown);
        recording.capacity = capacity;
    }
    RecordedFrame& kept = recording.frames[recording.count++];
    std::memcpy(kept.sensor, frame.sensor, sizeof frame.sensor);
    std::memcpy(kept.readAt, frame.readAt, sizeof frame.readAt);
    return 1;
}

RecordingTimes recordingTimes(const Recording& recording, int rate) {
    RecordingTimes times{0, 0.0, 0.0, 0.0};
    if (recording.count < 2 || rate <= 0) return times;
    const RecordedFrame& first = recording.frames[0];
    const RecordedFrame& last = recording.frames[recording.count - 1];
    double end = 0.0, gapFrom = 0.0;
    bool any = false;
    for (int row = 0; row < bodyPartCount; ++row) {
        if (bodyPartTable[row].flags & NoNode) continue;
        if (!any || first.readAt[row] > times.first) times.first = first.readAt[row];
        if (!any || last.readAt[row] < end) end = last.readAt[row];
        any = true;
        for (int i = 1; i < recording.count; ++i) {
            double gap = recording.frames[i].readAt[row] - recording.frames[i - 1].readAt[row];
            if (gap > times.gap) {
                times.gap = gap;
                gapFrom = recording.frames[i - 1].readAt[row];
            }
        }
    }
    if (!any || end < times.first) return times;
    // Counted in whole steps of the rate from the first instant; the small
    // allowance keeps an instant that falls exactly on the last reading.
    times.frames = static_cast<int>((end - times.first) * rate + 1e-9) + 1;
    times.gapAt = gapFrom - times.first;
    return times;
}

int saveRecording(const Recording& recording, int rate, int grounded, const char* fileName) {
    if (rate <= 0) return 0;
    savedRecording = &recording;
    savedTimes = recordingTimes(recording, rate);
    savedRate = rate;
    savedGrounded = grounded;
    int saved = writeBvhAnimation(fileName, savedTimes.frames, 1.0 / rate, recordedFrame);
    savedRecording = nullptr;
    return saved;
}

void freeRecording(Recording& recording) {
    std::free(recording.frames);
    recording = Recording{};
}
