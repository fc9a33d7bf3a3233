#include "tests/native/fake_platform.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "model/body_parts.h"

FakePlatform fakePlatform;

void resetFakePlatform() {
    fakePlatform = FakePlatform{};
    resetBodyPartTable();
}

void showErrorBox(const char* text) { fakePlatform.errorBoxes.emplace_back(text); }

LocalTime currentLocalTime() { return fakePlatform.clock; }

// As the private-profile reader: a value, or the section names each ended by
// a NUL and the list by a second NUL, cut to the buffer.
unsigned readSettingsValue(const char*, const char* section, const char* key, char* buffer, unsigned size) {
    std::string text;
    for (const FakeSettingsEntry& entry : fakePlatform.settings) {
        if (section == nullptr && text.find(entry.section + '\0') == std::string::npos) text += entry.section + '\0';
        if (section != nullptr && strcasecmp(entry.section.c_str(), section) == 0 &&
            strcasecmp(entry.key.c_str(), key) == 0)
            text = entry.value;
    }
    if (!fakePlatform.settingsFileExists) text.clear();
    unsigned ends = section == nullptr ? 2 : 1;
    if (size < ends) return 0;
    unsigned length = std::min<unsigned>(text.size(), size - ends);
    std::memcpy(buffer, text.data(), length);
    std::memset(buffer + length, 0, ends);
    return length;
}

