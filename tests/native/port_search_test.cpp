// Finding the doll's port by ProductDesc among the present serial ports; the
// cases are in port_search.txt.
#include <cstring>

#include "device/port_search.h"
#include "tests/common/data_table.h"

TEST(PortSearch, FirstPortWhoseNameOrDescriptionContainsProductDescAndWhoseNameGivesANumber) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/port_search.txt")) {
        PortEntry entries[2] = {};
        for (int i = 0; i < 2; ++i) {
            std::strcpy(entries[i].friendlyName, row.fields[2 + 3 * i].c_str());
            std::strcpy(entries[i].deviceDescription, row.fields[3 + 3 * i].c_str());
            std::strcpy(entries[i].portName, row.fields[4 + 3 * i].c_str());
        }
        EXPECT_EQ(findPortNumber(entries, 2, row.fields[0].c_str()), std::stoul(row.fields[1])) << row.where;
    }
}
