// A motion: the doll's posture changing over time, given as keys (a time and
// a posture of every node) and sampled in between. The time is the caller's:
// seconds since the motion started. The file that holds a motion is read by
// loadDollMotion in doll_files.h.
#pragma once

#include "tools/virtual-doll/doll.h"

constexpr int dollMotionCapacity = 1000;       // keys
constexpr double dollMotionLatest = 3600.0;    // seconds: no key may come later

struct DollMotionKey {
    double seconds;                         // since the motion's start, strictly increasing from key to key
    std::int8_t posture[dollNodeCount][6];  // x1 y1 z1 x2 y2 z2 of each node in table order, counts
};

struct DollMotion {
    int keyCount;  // 1 to dollMotionCapacity once loaded
    DollMotionKey keys[dollMotionCapacity];
};

// Sets every node's posture to the motion's at `seconds`: the first key's
// before it, the last key's after it, exactly a key's at its time, and
// between two keys each sensor vector turned and stretched from the one to
// the other: the straight blend of the two vectors, scaled to the straight
// blend of their lengths, so that a vector turning through a large angle
// keeps its length (and the solver sees gravity, not less). Counts are
// rounded half away from zero and clamped to -128..127. Where the two vectors
// point exactly opposite ways the blend passes through zero and has no
// direction; at that one instant the later key's vector is taken.
void poseDollAt(Doll& doll, const DollMotion& motion, double seconds);
