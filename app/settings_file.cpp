#include "app/settings_file.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/settings_values.h"
#include "model/body_parts.h"

std::uint32_t portNumber;
char productDesc[64];
int captureSource;

namespace {

constexpr const char* notFound = "が見付かりません。";
constexpr const char* descTooLong = "の内容が 63 文字を越えています。";

// `expected` is lower case. ASCII only: the C library's case-insensitive
// compare follows the locale.
bool equalsIgnoringCase(const char* text, const char* expected) {
    for (; *expected != '\0'; ++text, ++expected)
        if ((*text | 0x20) != *expected) return false;
    return *text == '\0';
}

}  // namespace

int loadSettings() {
    char value[settingsValueSize];

    // The list of section names is empty both for a missing file and for one without sections.
    if (readSettingsValue(settingsFileName, nullptr, nullptr, value, sizeof value) == 0) {
        reportSettingsError(settingsFileName, nullptr, nullptr, notFound);
        return 0;
    }

    readSettingsValue(settingsFileName, "COMM", "PortNumber", value, sizeof value);
    if (value[0] == '\0') {
        reportSettingsError(settingsFileName, "COMM", "PortNumber", notFound);
        return 0;
    }
    if (equalsIgnoringCase(value, "auto")) {
        // Read past 64 bytes so that a ProductDesc of 64 bytes shows as too long.
        readSettingsValue(settingsFileName, "COMM", "ProductDesc", value, sizeof value);
        if (value[0] == '\0') {
            reportSettingsError(settingsFileName, "COMM", "ProductDesc", notFound);
            return 0;
        }
        if (std::strlen(value) > sizeof productDesc - 1) {
            reportSettingsError(settingsFileName, "COMM", "ProductDesc", descTooLong);
            return 0;
        }
        std::strcpy(productDesc, value);
        portNumber = 0;
    } else {
        if (!readNumberAlone(value, &portNumber)) {
            reportSettingsError(settingsFileName, "COMM", "PortNumber", badContent);
            return 0;
        }
        if (portNumber < 1 || portNumber > 256) {
            reportSettingsError(settingsFileName, "COMM", "PortNumber", badValue);
            return 0;
        }
    }

    // The hip node is always in use; the walk starts at the second row.
    for (int row = 1; row < bodyPartCount; ++row) {
        BodyPart& part = bodyPartTable[row];
        if (part.flags & NoNode) continue;
        readSettingsValue(settingsFileName, "NODE", part.name, value, sizeof value);
        if (value[0] == '\0') {
            reportSettingsError(settingsFileName, "NODE", part.name, notFound);
            return 0;
        }
        std::uint32_t fitted;
        if (!readNumberAlone(value, &fitted)) {
            reportSettingsError(settingsFileName, "NODE", part.name, badContent);
            return 0;
        }
        if (fitted == 0) part.flags |= NoNode;
    }

    // Optional, and read last: a fault of the keys above is reported first.
    readSettingsValue(settingsFileName, "CAPTURE", "Source", value, sizeof value);
    if (value[0] == '\0' || equalsIgnoringCase(value, "demo")) {
        captureSource = CaptureDemo;
    } else if (equalsIgnoringCase(value, "doll")) {
        captureSource = CaptureDoll;
    } else {
        reportSettingsError(settingsFileName, "CAPTURE", "Source", badContent);
        return 0;
    }
    return 1;
}
