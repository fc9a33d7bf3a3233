// A motion file read by the plain BVH rules, as any importer reads it, for checking what the writer gives.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "solver/rotation.h"

struct BvhJoint { std::string name; int parent; double offset[3]; std::vector<std::string> channels; int first; };
struct BvhRead { std::vector<BvhJoint> joints; int frames, values; double time; std::vector<double> motion; };

// The joints in file order ("End" for an End Site), each with the index of its first value in a frame of
// `values` values, then every value of every frame.
inline BvhRead readBvh(const std::string& path) {
    std::ifstream in(path);
    BvhRead bvh{};
    std::vector<int> open;
    std::string word;
    for (int count = 0; in >> word && word != "MOTION";) {
        if (word == "ROOT" || word == "JOINT" || word == "End")
            bvh.joints.push_back({word, open.empty() ? -1 : open.back(), {}, {}, bvh.values});
        if (word == "ROOT" || word == "JOINT") in >> bvh.joints.back().name;
        if (word == "{") open.push_back(static_cast<int>(bvh.joints.size()) - 1);
        if (word == "}") open.pop_back();
        if (word == "OFFSET") for (double& k : bvh.joints.back().offset) in >> k;
        if (word == "CHANNELS" && in >> count) bvh.joints.back().channels.resize(count), bvh.values += count;
        for (int k = 0; k < count && word == "CHANNELS"; ++k) in >> bvh.joints.back().channels[k];
    }
    in >> word >> bvh.frames >> word >> word >> bvh.time;  // Frames: N Frame Time: T
    for (double value; in >> value;) bvh.motion.push_back(value);
    EXPECT_TRUE(in.eof() && bvh.motion.size() == static_cast<std::size_t>(bvh.frames * bvh.values));
    return bvh;
}

// Every joint of one frame by the plain rules, in file order: its parent's transform times the translation by
// its OFFSET (and its position channels) times its rotations in channel order. `rotations` are world ones.
inline void placeJoints(const BvhRead& bvh, int frame, std::vector<Rotation>& rotations,
                        std::vector<std::array<double, 3>>& points) {
    rotations.assign(bvh.joints.size(), identityRotation);
    points.assign(bvh.joints.size(), {0, 0, 0});
    for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
        const BvhJoint& joint = bvh.joints[j];
        Rotation parent = joint.parent < 0 ? identityRotation : rotations[joint.parent];
        double offset[3] = {joint.offset[0], joint.offset[1], joint.offset[2]};
        Rotation own = identityRotation;
        for (std::size_t c = 0; c < joint.channels.size(); ++c) {
            const int axis = joint.channels[c][0] - 'X';
            const double value = bvh.motion[frame * bvh.values + joint.first + c];
            double turn[3] = {0, 0, 0};
            turn[axis] = value * std::numbers::pi / 180;
            if (joint.channels[c].ends_with("position")) offset[axis] += value;
            if (joint.channels[c].ends_with("rotation")) own = compose(own, fromRotationVector(turn));
        }
        rotate(parent, offset, points[j].data());
        for (int k = 0; k < 3 && joint.parent >= 0; ++k) points[j][k] += points[joint.parent][k];
        rotations[j] = compose(parent, own);
    }
}

// The world rotation of every part in one frame, by row: the hierarchy runs in table order, so the n-th joint
// that is no End Site is row n.
inline std::vector<Rotation> partRotations(const BvhRead& bvh, int frame) {
    std::vector<Rotation> rotations, parts;
    std::vector<std::array<double, 3>> points;
    placeJoints(bvh, frame, rotations, points);
    for (std::size_t j = 0; j < bvh.joints.size(); ++j)
        if (bvh.joints[j].name != "End") parts.push_back(rotations[j]);
    return parts;
}
