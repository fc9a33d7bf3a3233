#include "settings/calibration.h"

#include <charconv>
#include <cmath>

#include "app/number_text.h"

namespace {

// Beyond this every value clamps alike, and a float holds it exactly.
constexpr double offsetTextLimit = 1e6;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The end of a run of decimal digits starting at `text`.
const char* skipDigits(const char* text) {
    while (isDigit(*text)) ++text;
    return text;
}

}  // namespace

float clampOffset(float value) {
    if (value > largestOffset) return largestOffset;
    if (value < smallestOffset) return smallestOffset;
    float halfCounts = static_cast<float>(std::floor(2.0 * value));
    return halfCounts * offsetStep;
}

int readOffsetText(const char* text, float& value) {
    value = 0.0f;
    if (*text == '\0') return 1;
    while (isWhiteSpace(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    const char* mantissa = text;
    const char* end = skipDigits(text);
    bool digits = end != text;
    if (*end == '.') {
        const char* fraction = end + 1;
        end = skipDigits(fraction);
        digits = digits || end != fraction;
    }
    if (!digits) return 0;
    if (*end == 'e' || *end == 'E') {
        const char* exponent = end + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (isDigit(*exponent)) end = skipDigits(exponent);
    }
    const char* rest = end;
    while (isWhiteSpace(*rest)) ++rest;
    if (*rest != '\0') return 0;

    double magnitude = 0.0;
    std::from_chars_result result = std::from_chars(mantissa, end, magnitude);
    // Out of the double's range: huge values clamp alike, tiny ones are 0.
    if (result.ec == std::errc::result_out_of_range) {
        const char* exponent = mantissa;
        while (exponent != end && *exponent != 'e' && *exponent != 'E') ++exponent;
        magnitude = exponent != end && exponent[1] == '-' ? 0.0 : offsetTextLimit;
    }
    if (magnitude > offsetTextLimit) magnitude = offsetTextLimit;
    value = static_cast<float>(negative ? -magnitude : magnitude);
    return 1;
}

float autoOffset(Axis axis, std::int16_t offsetActive, std::int8_t liveReading) {
    int halfCounts = offsetActive - 2 * liveReading;
    if (axis == AxisZ) halfCounts += 128;  // 64 counts, one g, in half counts
    return clampOffset(static_cast<float>(halfCounts * 0.5));
}
