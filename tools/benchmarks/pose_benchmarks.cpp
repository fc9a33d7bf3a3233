// Benchmarks of the portable core with Google Benchmark: solving each sample
// pose, and writing the pose file with every part selected. tools/bench
// builds them in an optimised tree of their own and runs them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "model/body_parts.h"
#include "output/pose_file.h"
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

}  // namespace

BENCHMARK_MAIN();
