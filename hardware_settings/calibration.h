// The calibration page's arithmetic, free of any window: offsets in counts
// (half counts x 0.5), clamped to the node's 11-bit range -512.0 to 511.5 in
// steps of 0.5, the offset edit's text rule, and the offset computed from a
// live reading.
#pragma once

#include <cstdint>

#include "device/node_operations.h"

constexpr float largestOffset = 511.5f;
constexpr float smallestOffset = -512.0f;
constexpr float offsetStep = 0.5f;

// Above the range gives 511.5, below it -512.0; otherwise the multiple of 0.5
// at or below `value`.
float clampOffset(float value);

// The text of an offset edit: empty is 0; otherwise a decimal floating-point
// number with optional blanks around it and nothing else ("%f %c" converting
// exactly one item). Returns 1 with the number in `value`, or
// 0 with `value` 0 for any other text.
int readOffsetText(const char* text, float& value);

// The offset (counts, clamped) that would bring the live reading of X or Y
// to 0 and that of Z to 64, one g, from the active offset (half counts).
float autoOffset(Axis axis, std::int16_t offsetActive, std::int8_t liveReading);
