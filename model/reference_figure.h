// The figure the doll's joint angles are shown on: where each body part lies
// in the rest pose (every joint angle 0), in centimetres. Y is up, the figure
// stands on the floor (Y = 0) facing +Z with its right side towards -X, arms
// straight out sideways.
#pragma once

#include <array>

#include "model/body_parts.h"

struct ReferencePart {
    double joint[3];  // where the part hangs from its parent; hip's is the pelvis
    double end[3];    // the far end of a part without children; a part with children ends at its joint
};

// The figure's stature, floor to the top of the head, in centimetres.
constexpr double referenceHeight = 170.0;

// One row for each row of the body-part table, in the same order.
extern const std::array<ReferencePart, bodyPartCount> referenceFigure;

// 1 when no row of the body-part table hangs from `row`, else 0.
int isLeafPart(int row);
