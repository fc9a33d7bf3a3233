// The calibration page's arithmetic: offsets clamped to the node's range in
// steps of 0.5 count, the offset edit's text rule, and the offset computed
// from a live reading.
#include <gtest/gtest.h>

#include "settings/calibration.h"

namespace {

TEST(Calibration, OffsetsAreClampedToHalfCountsInRange) {
    const struct {
        float value, clamped;
    } cases[] = {
        {1.3f, 1.0f}, {-1.3f, -1.5f}, {511.9f, 511.5f}, {-600.0f, -512.0f}, {600.0f, 511.5f},
        {511.5f, 511.5f}, {-512.0f, -512.0f}, {-512.4f, -512.0f}, {12.34f, 12.0f}, {0.49f, 0.0f},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(clampOffset(row.value), row.clamped);
    }
}

TEST(Calibration, OffsetTextIsOneDecimalNumberOrZero) {
    const struct {
        const char* text;
        int number;
        float value;
    } cases[] = {
        {"", 1, 0.0f},
        {"12.34", 1, 12.34f},
        {" -600 ", 1, -600.0f},
        {"+.5", 1, 0.5f},
        {"5.", 1, 5.0f},
        {"1e2", 1, 100.0f},
        {"1e999", 1, 1e6f},  // beyond the range, clamped alike
        {"12.34x", 0, 0.0f},
        {"1 2", 0, 0.0f},
        {"x", 0, 0.0f},
        {" ", 0, 0.0f},
        {".", 0, 0.0f},
        {"-", 0, 0.0f},
        {"1e", 0, 0.0f},
        {"0x10", 0, 0.0f},
        {"inf", 0, 0.0f},
        {"nan", 0, 0.0f},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        float value = -1.0f;
        EXPECT_EQ(readOffsetText(row.text, value), row.number);
        EXPECT_FLOAT_EQ(value, row.value);
    }
}

TEST(Calibration, AutoOffsetBringsXAndYToZeroAndZToOneG) {
    const struct {
        Axis axis;
        std::int16_t active;
        std::int8_t reading;
        float offset;
    } cases[] = {
        {AxisX, 0, 10, -10.0f},
        {AxisY, 20, -5, 15.0f},
        {AxisZ, 0, 60, 4.0f},
        {AxisZ, 0, 64, 0.0f},
        {AxisZ, -3, 64, -1.5f},
        {AxisX, 1023, -128, 511.5f},
        {AxisZ, -1024, 127, -512.0f},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << row.axis << " " << row.active << " " << int{row.reading});
        EXPECT_EQ(autoOffset(row.axis, row.active, row.reading), row.offset);
    }
}

}  // namespace
