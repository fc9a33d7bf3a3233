// Finding the doll's port by ProductDesc among the present serial ports.
#include <gtest/gtest.h>

#include <cstring>

#include "device/port_search.h"

namespace {

PortEntry entry(const char* friendlyName, const char* description, const char* portName) {
    PortEntry made{};
    std::strcpy(made.friendlyName, friendlyName);
    std::strcpy(made.deviceDescription, description);
    std::strcpy(made.portName, portName);
    return made;
}

TEST(PortSearch, FirstPortWhoseNameOrDescriptionContainsProductDesc) {
    const struct {
        const char* name;
        PortEntry entries[2];
        const char* productDesc;
        std::uint32_t found;
    } cases[] = {
        {"friendly name, another case",
         {entry("Communications Port (COM1)", "Communications Port", "COM1"),
          entry("Gestalyx Virtual Doll (COM7)", "USB Serial Device", "COM7")},
         "virtual DOLL", 7},
        {"description alone", {entry("", "Gestalyx Doll Port", "COM12"), entry("", "", "COM3")}, "gestalyx doll", 12},
        {"first of two matches", {entry("Doll A", "", "COM4"), entry("Doll B", "", "COM5")}, "doll", 4},
        {"a match without a usable port name is skipped",
         {entry("Doll", "", "LPT1"), entry("Doll", "", "COM256")}, "DOLL", 256},
        {"no match", {entry("Communications Port (COM1)", "Communications Port", "COM1"), entry("", "", "COM2")},
         "Doll", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(findPortNumber(row.entries, 2, row.productDesc), row.found);
    }
}

TEST(PortSearch, PortNumberFromPortName) {
    const struct {
        const char* portName;
        std::uint32_t number;
    } cases[] = {
        {"COM1", 1}, {"COM12", 12}, {"COM256", 256}, {"COM257", 0}, {"COM0", 0}, {"COM03", 0},
        {"COM", 0},  {"COM3x", 0},  {"com3", 0},     {"LPT1", 0},   {"", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.portName);
        EXPECT_EQ(portNumberOf(row.portName), row.number);
    }
}

}  // namespace
