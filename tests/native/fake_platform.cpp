#include "tests/native/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "model/body_parts.h"

FakePlatform fakePlatform;

void resetFakePlatform() {
    fakePlatform = FakePlatform{};
    resetBodyPartTable();
}

void showErrorBox(const char* text) { fakePlatform.errorBoxes.emplace_back(text); }

LocalTime currentLocalTime() { return fakePlatform.clock; }

static unsigned store(const std::string& text, char* buffer, unsigned size) {
    if (size == 0) return 0;
    unsigned length = std::min<unsigned>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

unsigned readSettingsValue(const char*, const char* section, const char* key, char* buffer,
                           unsigned size) {
    if (!fakePlatform.settingsFileExists) return store("", buffer, size);
    if (section == nullptr) {
        // Section names, each NUL-terminated, the list ended by a second NUL.
        std::string list;
        for (const FakeSettingsEntry& entry : fakePlatform.settings) {
            std::string name = entry.section + '\0';
            if (list.find(name) == std::string::npos) list += name;
        }
        if (size < 2) return store("", buffer, size);
        unsigned length = std::min<unsigned>(list.size(), size - 2);
        std::memcpy(buffer, list.data(), length);
        buffer[length] = buffer[length + 1] = '\0';
        return length;
    }
    for (const FakeSettingsEntry& entry : fakePlatform.settings)
        if (strcasecmp(entry.section.c_str(), section) == 0 && strcasecmp(entry.key.c_str(), key) == 0)
            return store(entry.value, buffer, size);
    return store("", buffer, size);
}
