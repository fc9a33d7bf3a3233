// Finding the doll's port by ProductDesc among the present serial ports; the
// cases are in port_search.txt.
#include <gtest/gtest.h>

#include <cstring>

#include "device/port_search.h"
#include "tests/common/data_table.h"

namespace {

TEST(PortSearch, PortNumberFromPortName) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/port_search.txt", "number"))
        EXPECT_EQ(portNumberOf(row.fields[1].c_str()), std::stoul(row.fields[2])) << row.where;
}

TEST(PortSearch, FirstPortWhoseNameOrDescriptionContainsProductDesc) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/port_search.txt", "search")) {
        PortEntry entries[2] = {};
        for (int i = 0; i < 2; ++i) {
            std::strcpy(entries[i].friendlyName, row.fields[3 + 3 * i].c_str());
            std::strcpy(entries[i].deviceDescription, row.fields[4 + 3 * i].c_str());
            std::strcpy(entries[i].portName, row.fields[5 + 3 * i].c_str());
        }
        EXPECT_EQ(findPortNumber(entries, 2, row.fields[1].c_str()), std::stoul(row.fields[2])) << row.where;
    }
}

}  // namespace
