// Benchmarks of the portable core with Google Benchmark: solving each sample
// pose, writing the pose file with every part selected, the monitor's figure
// of a frame, and a recording's output frames. tools/bench builds them in an
// optimised tree of their own and runs them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "model/body_parts.h"
#include "monitor/recording.h"
#include "output/pose_file.h"
#include "device/serial_port.h"
#include "platform/platform.h"
#include "solver/joint_angles.h"
#include "solver/sample_poses.h"

// The platform of a benchmark run: no settings file, a fixed clock, and an
// error box that stops the run, since a figure measured past one means nothing.
void showErrorBox(const char* text) {
    std::fprintf(stderr, "pose_benchmarks: %s\n", text);
    std::exit(1);
}

LocalTime currentLocalTime() { return {2026, 12, 6, 9, 5, 7}; }

unsigned readSettingsValue(const char*, const char*, const char*, char* buffer, unsigned size) {
    if (size > 0) buffer[0] = '\0';
    return 0;
}

// No line: the monitor's frames below are made, not read.
int purgePort() { return 0; }
int writeAll(const char*) { return 0; }
int readExact(char*, unsigned) { return 0; }

namespace {

constexpr std::uint32_t everyPart = (std::uint32_t{1} << bodyPartCount) - 1;

// Loading the pose's sensor vectors and solving every node and joint: what
// 実行 does before it writes the file.
void solveSamplePose(benchmark::State& state) {
    resetBodyPartTable();
    applyPartMask(everyPart);
    samplePose = static_cast<int>(state.range(0));
    for (auto _ : state) {
        solvePose();
        benchmark::DoNotOptimize(bodyPartTable);
    }
}
BENCHMARK(solveSamplePose)->DenseRange(0, samplePoseCount - 1);

// The whole file, opened, written and closed: 18 actor blocks (54 angles with
// six decimals) and 11 diagnostic rows (66 angles with one).
const char* poseFilePath = "/tmp/pose_benchmarks.pz2";

void writeWholePoseFile(benchmark::State& state) {
    resetBodyPartTable();
    applyPartMask(everyPart);
    samplePose = static_cast<int>(state.range(0));
    solvePose();
    for (auto _ : state) benchmark::DoNotOptimize(writePoseFile(poseFilePath, everyPart));
    std::remove(poseFilePath);
}
BENCHMARK(writeWholePoseFile)->DenseRange(0, samplePoseCount - 1);

// The sample pose's counts as a monitor frame read them.
void takeSampleCounts(int pose, std::int8_t sensor[bodyPartCount][6]) {
    samplePose = pose;
    loadSamplePose();
    for (int row = 0; row < bodyPartCount; ++row)
        for (int k = 0; k < 6; ++k) sensor[row][k] = bodyPartTable[row].sensor[k];
}

// What the monitor does with each complete frame it shows: every node's
// rotation fitted, the chains shared out, the figure grounded and placed.
void solveFigureOfSamplePose(benchmark::State& state) {
    resetBodyPartTable();
    applyPartMask(everyPart);
    std::int8_t sensor[bodyPartCount][6];
    takeSampleCounts(static_cast<int>(state.range(0)), sensor);
    for (auto _ : state) {
        FigureFrame figure;
        FigurePose pose;
        solveFigureOfFrame(sensor, 1, figure);
        placeFigure(figure.local, figure.root, pose);
        benchmark::DoNotOptimize(pose);
    }
}
BENCHMARK(solveFigureOfSamplePose)->DenseRange(0, samplePoseCount - 1);

// Saving a recording of 1000 frames of the line (the four sample poses in
// turn, 0.22 s apart) at 30 frames a second to /dev/null: per output frame,
// each node interpolated, the figure solved, its channels taken and written.
void saveRecordingFrames(benchmark::State& state) {
    resetBodyPartTable();
    applyPartMask(everyPart);
    static Recording recording;
    for (int f = 0; f < 1000; ++f) {
        MonitorFrame frame{};
        takeSampleCounts(f % samplePoseCount, frame.sensor);
        for (int row = 0; row < bodyPartCount; ++row) frame.readAt[row] = 0.22 * f + 0.012 * row;
        recordFrame(recording, frame);
    }
    for (auto _ : state) benchmark::DoNotOptimize(saveRecording(recording, 30, 1, "/dev/null"));
    state.SetItemsProcessed(state.iterations() * recordingTimes(recording, 30).frames);
    freeRecording(recording);
}
BENCHMARK(saveRecordingFrames);

}  // namespace

BENCHMARK_MAIN();
