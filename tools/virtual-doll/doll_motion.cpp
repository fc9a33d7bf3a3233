#include "tools/virtual-doll/doll_motion.h"

#include <cmath>
#include <cstring>

namespace {

std::int8_t countOf(double value) {
    double rounded = std::round(value);  // half away from zero
    return static_cast<std::int8_t>(rounded < -128.0 ? -128.0 : rounded > 127.0 ? 127.0 : rounded);
}

// One sensor vector `share` of the way (0 < share < 1) from `from` to `to`.
void blendVector(const std::int8_t from[3], const std::int8_t to[3], double share, std::int8_t out[3]) {
    double blend[3], fromSquared = 0.0, toSquared = 0.0, blendSquared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        blend[axis] = from[axis] + share * (to[axis] - from[axis]);
        fromSquared += from[axis] * from[axis];
        toSquared += to[axis] * to[axis];
        blendSquared += blend[axis] * blend[axis];
    }
    if (blendSquared == 0.0) {
        std::memcpy(out, to, 3);
        return;
    }
    double length = std::sqrt(fromSquared) + share * (std::sqrt(toSquared) - std::sqrt(fromSquared));
    double scale = length / std::sqrt(blendSquared);
    for (int axis = 0; axis < 3; ++axis) out[axis] = countOf(blend[axis] * scale);
}

void takePosture(Doll& doll, const std::int8_t posture[dollNodeCount][6]) {
    for (int i = 0; i < dollNodeCount; ++i) std::memcpy(doll.nodes[i].posture, posture[i], 6);
}

}  // namespace

void poseDollAt(Doll& doll, const DollMotion& motion, double seconds) {
    const DollMotionKey* keys = motion.keys;
    int last = motion.keyCount - 1;
    if (seconds <= keys[0].seconds || seconds >= keys[last].seconds) {
        takePosture(doll, keys[seconds <= keys[0].seconds ? 0 : last].posture);
        return;
    }
    // keys[low].seconds <= seconds < keys[high].seconds
    int low = 0, high = last;
    while (high - low > 1) {
        int middle = (low + high) / 2;
        (keys[middle].seconds <= seconds ? low : high) = middle;
    }
    const DollMotionKey& from = keys[low];
    const DollMotionKey& to = keys[high];
    if (seconds == from.seconds) {
        takePosture(doll, from.posture);
        return;
    }
    double share = (seconds - from.seconds) / (to.seconds - from.seconds);
    for (int i = 0; i < dollNodeCount; ++i)
        for (int vector = 0; vector < 2; ++vector)
            blendVector(from.posture[i] + 3 * vector, to.posture[i] + 3 * vector, share,
                        doll.nodes[i].posture + 3 * vector);
}
