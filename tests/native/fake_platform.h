// The platform seen by the native tests: error boxes are recorded, the clock
// is fixed, and the settings file is a table of section, key and value.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeSettingsEntry { std::string section, key, value; };

struct FakePlatform {
    std::vector<std::string> errorBoxes;
    LocalTime clock{2026, 12, 6, 9, 5, 7};
    bool settingsFileExists = true;
    std::vector<FakeSettingsEntry> settings;
};

extern FakePlatform fakePlatform;

// Clears the recorded boxes, the settings table and the body-part table.
void resetFakePlatform();
