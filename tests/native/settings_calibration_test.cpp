// The calibration page's arithmetic: offsets clamped to the node's range in
// steps of 0.5 count, the offset edit's text rule, and the offset computed
// from a live reading. The cases are in calibration.txt.
#include "hardware_settings/calibration.h"
#include "tests/common/data_table.h"

TEST(Calibration, OffsetsAreClampedToHalfCountsInRange) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/calibration.txt", "clamp"))
        EXPECT_EQ(clampOffset(std::stof(row.fields[1])), std::stof(row.fields[2])) << row.where;
}

TEST(Calibration, OffsetTextIsOneDecimalNumberOrZero) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/calibration.txt", "text")) {
        SCOPED_TRACE(row.where);
        float value = -1.0f;
        EXPECT_EQ(readOffsetText(row.fields[1].c_str(), value), std::stoi(row.fields[2]));
        EXPECT_FLOAT_EQ(value, std::stof(row.fields[3]));
    }
}

TEST(Calibration, AutoOffsetBringsXAndYToZeroAndZToOneG) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/calibration.txt", "auto")) {
        auto axis = static_cast<Axis>(std::stoi(row.fields[1]));
        auto active = static_cast<std::int16_t>(std::stoi(row.fields[2]));
        auto reading = static_cast<std::int8_t>(std::stoi(row.fields[3]));
        EXPECT_EQ(autoOffset(axis, active, reading), std::stof(row.fields[4])) << row.where;
    }
}
