// The command line, the part mask and the shape of the body-part table that
// the solver and the windows rely on.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "model/body_parts.h"
#include "tests/common/data_table.h"

namespace {

TEST(CommandLine, ArgumentIsOneHexadecimalNumberOrTheSettingsSwitch) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/command_line.txt")) {
        SCOPED_TRACE(row.where);
        std::uint32_t mask = 0;
        EXPECT_EQ(parsePartMask(row.fields[0].c_str(), mask), std::stoi(row.fields[1]));
        EXPECT_EQ(mask, std::stoul(row.fields[2], nullptr, 0));
        EXPECT_EQ(isSettingsSwitch(row.fields[0].c_str()), std::stoi(row.fields[3]));
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

TEST(BodyPartTable, ParentsComeFirstAndEveryChainEndsAtANode) {
    int nodes = 0;
    for (int row = 0; row < bodyPartCount; ++row) {
        const BodyPart& part = initialBodyPartTable[row];
        SCOPED_TRACE(part.name);
        bool hasNode = !(part.flags & NoNode);
        nodes += hasNode;
        EXPECT_EQ(hasNode, part.nodeAddress != 0);
        EXPECT_TRUE(part.checkboxId >= 102 && part.checkboxId <= 119);
        EXPECT_TRUE(row == 0 ? part.parent == noParent && hasNode : part.parent < row);
    }
    EXPECT_EQ(nodes, 11);
}

}  // namespace
