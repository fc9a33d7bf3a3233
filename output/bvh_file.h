// The motion file: the reference figure's skeleton and the joint angles of
// one frame or of many, in the BVH format that animation programs import.
#pragma once

#include "solver/figure_pose.h"

// The frame time of a file of one pose: 30 frames a second.
constexpr double bvhPoseFrameTime = 1.0 / 30;

// Writes `fileName` ("wb", LF line ends): the hierarchy with hip as ROOT and
// every other part as a JOINT under its parent, then `frameCount` frames
// (none when 0 or less) `frameTime` seconds apart. Returns 1 when everything
// was written and the file closed without error; otherwise shows the error
// box and returns 0; a partial file stays as closeOutputFile leaves it.
int writeBvhFile(const char* fileName, const PoseFrame* frames, int frameCount, double frameTime);

// The same, taking frame `index` from `frameAt` just before it is written, so
// that a long recording need not be held as joint angles all at once.
using BvhFrameSource = void (*)(int index, PoseFrame& frame);
int writeBvhAnimation(const char* fileName, int frameCount, double frameTime, BvhFrameSource frameAt);

// One frame, a still pose.
int writeBvhPose(const char* fileName, const PoseFrame& frame);
