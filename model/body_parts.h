// The figure: eighteen body parts, one per actor of the pose file, with the
// static description of each part and the working values a run fills in.
#pragma once

#include <array>
#include <cstdint>

enum BodyPartFlag : std::uint8_t {
    NoNode = 0x01,            // no sensor node, or its node is switched off by the settings file
    LowerBody = 0x02,         // belongs to the lower body (bulk buttons of the capture window)
    KeepPositiveSide = 0x04,  // a positive side joint angle stays whole on this part
    KeepNegativeSide = 0x08,  // a negative side joint angle stays whole on this part
};

constexpr int bodyPartCount = 18;
constexpr std::uint8_t noParent = 255;

struct BodyPart {
    char name[12];          // actor name in the pose file, key in the settings file's NODE section
    char label[16];         // Japanese display label, UTF-8 (the screen gets it through the wide API)
    std::uint8_t nodeAddress;  // bus address of the sensor node, 0 without a node
    std::uint8_t parent;       // row index of the parent, noParent for hip
    std::uint8_t mounting;     // axis remap of the node: 0 torso/head, 1 right arm, 2 legs, 3 left arm
    std::uint8_t flags;        // BodyPartFlag bits
    std::int32_t checkboxId;   // check box of the part in the capture window

    // Working values, zero at start.
    std::uint8_t selectable;       // 1 when the user may choose the part
    std::uint8_t firmwareVersion;
    std::int8_t liveReading[3];
    std::int8_t sensor[6];         // x1 y1 z1 x2 y2 z2 in counts, 64 = one g
    std::int16_t offsetActive[3];  // half counts
    std::int16_t offsetStored[3];  // half counts
    double absoluteAngles[3];      // node orientation, radians: bend, side, roll
    double jointAngles[3];         // relative to the parent, radians: bend, side, roll
};

using BodyPartTable = std::array<BodyPart, bodyPartCount>;

extern const BodyPartTable initialBodyPartTable;
extern BodyPartTable bodyPartTable;

// The row the capture window's node check has reached, or the node part the
// calibration page shows.
extern int currentPart;

// Restores every row to its static values with all working values zero.
void resetBodyPartTable();

// Sets `selectable` of every row from the part mask: the node-less rows take
// the mask bits in table order, lowest bit first; every part with a node is selectable.
void applyPartMask(std::uint32_t partMask);
