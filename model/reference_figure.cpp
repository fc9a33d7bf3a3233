#include "model/reference_figure.h"

namespace {

// Heights above the floor and lengths as fractions of stature, after the
// segment-length ratios of Drillis and Contini (1966): hip joint (greater
// trochanter) 0.530, shoulder 0.818, chin 0.870, knee 0.285, ankle 0.039;
// upper arm 0.186, forearm 0.146; shoulder width 0.259, hip width 0.191.
// The trunk between hip and shoulder height is shared equally by hip, waist,
// abdomen and chest; the head reaches from the chin to the top (1.000).
// Neck and collars start at the neck's base on the midline at shoulder
// height, the buttocks at the pelvis; the shoulders and thighs then hang at
// half the shoulder and hip widths to either side.
constexpr double hipHeight = 0.530, shoulderHeight = 0.818, chinHeight = 0.870;
constexpr double kneeHeight = 0.285, ankleHeight = 0.039;
constexpr double upperArm = 0.186, forearm = 0.146, shoulderWidth = 0.259, hipWidth = 0.191;
constexpr double trunkShare = (shoulderHeight - hipHeight) / 4;

// A part at (x, y, 0) in fractions of stature, ending at (endX, endY, 0).
constexpr ReferencePart at(double x, double y, double endX, double endY) {
    return {{x * referenceHeight, y * referenceHeight, 0.0}, {endX * referenceHeight, endY * referenceHeight, 0.0}};
}

// A part with children: it ends at its joint.
constexpr ReferencePart at(double x, double y) { return at(x, y, x, y); }

constexpr double right = -1.0, left = 1.0;

// The upper arm from the shoulder joint, the forearm from the elbow to the wrist.
constexpr ReferencePart shoulder(double side) { return at(side * shoulderWidth / 2, shoulderHeight); }
constexpr ReferencePart foreArm(double side) {
    constexpr double elbow = shoulderWidth / 2 + upperArm;
    return at(side * elbow, shoulderHeight, side * (elbow + forearm), shoulderHeight);
}

// The thigh from the hip joint, the shin from the knee to the ankle.
constexpr ReferencePart thigh(double side) { return at(side * hipWidth / 2, hipHeight); }
constexpr ReferencePart shin(double side) {
    return at(side * hipWidth / 2, kneeHeight, side * hipWidth / 2, ankleHeight);
}

}  // namespace

constexpr std::array<ReferencePart, bodyPartCount> referenceFigure = {{
    at(0.0, hipHeight),                             // hip
    at(0.0, hipHeight + trunkShare),                // waist
    at(0.0, hipHeight + 2 * trunkShare),            // abdomen
    at(0.0, hipHeight + 3 * trunkShare),            // chest
    at(0.0, shoulderHeight),                        // neck
    at(0.0, chinHeight, 0.0, 1.0),                  // head, to its top
    at(0.0, shoulderHeight),                        // rCollar
    shoulder(right),                                // rShldr
    foreArm(right),                                 // rForeArm
    at(0.0, shoulderHeight),                        // lCollar
    shoulder(left),                                 // lShldr
    foreArm(left),                                  // lForeArm
    at(0.0, hipHeight),                             // rButtock
    thigh(right),                                   // rThigh
    shin(right),                                    // rShin
    at(0.0, hipHeight),                             // lButtock
    thigh(left),                                    // lThigh
    shin(left),                                     // lShin
}};

int isLeafPart(int row) {
    for (const BodyPart& part : bodyPartTable)
        if (part.parent == row) return 0;
    return 1;
}
