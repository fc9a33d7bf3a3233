// A posture file of tests/data as the doll's nodes read it: each node's counts in its table row.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/body_parts.h"
#include "tools/virtual-doll/doll_files.h"

inline void loadPosture(const std::string& posture, std::int8_t sensor[bodyPartCount][6]) {
    static Doll doll;
    EXPECT_EQ(loadDollPosture(doll, (GESTALYX_TEST_DATA "/" + posture).c_str()), 1) << dollFileMessage;
    for (int row = 0, node = 0; row < bodyPartCount; ++row)
        if (bodyPartTable[row].nodeAddress != 0) std::memcpy(sensor[row], doll.nodes[node++].posture, 6);
}
