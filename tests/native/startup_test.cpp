// The part mask: how the argument is read and which parts it makes selectable,
// and the shape of the body-part table that the solver and the windows rely on.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "model/body_parts.h"

namespace {

TEST(PartMask, ArgumentIsReadAsOneHexadecimalNumber) {
    const struct {
        const char* argument;
        int converted;
        std::uint32_t mask;
    } cases[] = {
        {"0X7F", 1, 0x7F},
        {"\t7f then more text", 1, 0x7F},
        {"7fg", 1, 0x7F},
        {"0xg", 1, 0},          // the 0 before the x is the number
        {"-1", 1, 0xFFFFFFFF},  // as strtoul: negated modulo 2^32
        {"123456789abcdef0123", 1, 0xFFFFFFFF},  // too large: the largest value
        {"", 0, 0},
        {"x7f", 0, 0},
        {"-", 0, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.argument);
        std::uint32_t mask = 0;
        EXPECT_EQ(parsePartMask(row.argument, mask), row.converted);
        EXPECT_EQ(mask, row.mask);
    }
    std::uint32_t mask = 0;
    EXPECT_EQ(parsePartMask(nullptr, mask), 0);
}

std::uint32_t selectableRows() {
    std::uint32_t rows = 0;
    for (int row = 0; row < bodyPartCount; ++row)
        if (bodyPartTable[row].selectable) rows |= std::uint32_t{1} << row;
    return rows;
}

TEST(PartMask, OnlyNodeLessPartsTakeMaskBitsInTableOrder) {
    constexpr std::uint32_t nodeRows = 0x36DA9;
    const struct {
        std::uint32_t partMask;
        std::uint32_t selectable;
    } cases[] = {
        {0, nodeRows},
        {0x7F, 0x3FFFF},
        {0x05, nodeRows | 1u << 1 | 1u << 4},  // waist and neck
        {0x40, nodeRows | 1u << 15},           // lButtock
        {0xFFFFFF80, nodeRows},                // bits 7 and up are ignored
        {0xFFFFFFFF, 0x3FFFF},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.partMask);
        resetBodyPartTable();
        applyPartMask(row.partMask);
        EXPECT_EQ(selectableRows(), row.selectable);
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
        EXPECT_EQ(part.checkboxId >= 102 && part.checkboxId <= 119, true);
        if (row == 0) {
            EXPECT_EQ(part.parent, noParent);
            EXPECT_TRUE(hasNode);
            continue;
        }
        EXPECT_LT(part.parent, row);
    }
    EXPECT_EQ(nodes, 11);
}

}  // namespace
