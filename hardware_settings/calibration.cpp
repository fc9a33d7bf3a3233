#include "hardware_settings/calibration.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/number_text.h"

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

    // The text is known to be a plain decimal number now; strtod reads it as
    // the program's "C" locale has it. Huge values clamp alike, tiny ones are 0.
    char number[64];
    std::size_t length = static_cast<std::size_t>(end - mantissa);
    if (length >= sizeof number) length = sizeof number - 1;
    std::memcpy(number, mantissa, length);
    number[length] = '\0';
    double magnitude = std::strtod(number, nullptr);
    if (!(magnitude <= offsetTextLimit)) magnitude = offsetTextLimit;
    value = static_cast<float>(negative ? -magnitude : magnitude);
    return 1;
}

float autoOffset(Axis axis, std::int16_t offsetActive, std::int8_t liveReading) {
    int halfCounts = offsetActive - 2 * liveReading;
    if (axis == AxisZ) halfCounts += 128;  // 64 counts, one g, in half counts
    return clampOffset(static_cast<float>(halfCounts * 0.5));
}
