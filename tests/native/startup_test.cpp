// The command line and the part mask.
#include "app/command_line.h"
#include "model/body_parts.h"
#include "tests/common/data_table.h"

TEST(CommandLine, ArgumentIsOneHexadecimalNumberOrAModeSwitch) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/command_line.txt")) {
        SCOPED_TRACE(row.where);
        std::uint32_t mask = 0;
        EXPECT_EQ(parsePartMask(row.fields[0].c_str(), mask), std::stoi(row.fields[1]));
        EXPECT_EQ(mask, std::stoul(row.fields[2], nullptr, 0));
        EXPECT_EQ(isSettingsSwitch(row.fields[0].c_str()), row.fields[3] == "settings");
        char keysFile[40] = "?";
        EXPECT_EQ(isMonitorSwitch(row.fields[0].c_str(), keysFile, sizeof keysFile), row.fields[3] == "monitor");
        if (row.fields[3] == "monitor") {
            EXPECT_EQ(keysFile, row.fields[4] == "-" ? "" : row.fields[4]);
        }
    }
}

TEST(PartMask, OnlyNodeLessPartsTakeMaskBitsInTableOrder) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/part_mask.txt")) {
        resetBodyPartTable();
        applyPartMask(static_cast<std::uint32_t>(std::stoul(row.fields[0], nullptr, 0)));
        unsigned long selectable = 0;
        for (int i = 0; i < bodyPartCount; ++i) selectable |= (bodyPartTable[i].selectable != 0 ? 1ul : 0ul) << i;
        EXPECT_EQ(selectable, std::stoul(row.fields[1], nullptr, 0)) << row.where;
    }
}
