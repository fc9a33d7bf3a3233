#include "monitor/recording.h"

#include <cstdlib>
#include <cstring>

#include "output/bvh_file.h"

namespace {

const Recording* savedRecording;  // the recording saveRecording is writing

// Solves recorded frame `index` into the body-part table and takes its angles.
void recordedFrame(int index, PoseFrame& angles) {
    solveMonitorFrame(savedRecording->frames[index].sensor);
    takePoseFrame(angles);
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
    if (recording.count == 0) recording.started = frame.started;
    recording.ended = frame.seconds;
    std::memcpy(recording.frames[recording.count++].sensor, frame.sensor, sizeof frame.sensor);
    return 1;
}

double recordingFrameTime(const Recording& recording) {
    return recording.count == 0 ? 0.0 : (recording.ended - recording.started) / recording.count;
}

int saveRecording(const Recording& recording, const char* fileName) {
    savedRecording = &recording;
    int saved = writeBvhAnimation(fileName, recording.count, recordingFrameTime(recording), recordedFrame);
    savedRecording = nullptr;
    return saved;
}

void freeRecording(Recording& recording) {
    std::free(recording.frames);
    recording = Recording{};
}
