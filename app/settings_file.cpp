#include "app/settings_file.h"

#include <cstdio>
#include <cstring>

#include "platform/error_report.h"
#include "platform/number_text.h"
#include "platform/platform.h"
#include "model/body_parts.h"

std::uint32_t portNumber;
char productDesc[64];
int captureSource;

namespace {

constexpr const char* notFound = "が見付かりません。";
constexpr const char* badContent = "の内容が不正です。";
constexpr const char* badValue = "の値が不正です。";
constexpr const char* descTooLong = "の内容が 63 文字を越えています。";

// Numbers and NODE values are seen up to their 95th byte.
constexpr unsigned valueSize = 96;

// File name, sections, keys and tails are the program's own short texts.
// snprintf cuts anything longer, and the conversion for the screen copes with
// a cut last character.
char message[512];

// The rule of "%u %c" yielding exactly one conversion: a decimal number and
// nothing but white space after it.
int readNumberAlone(const char* text, std::uint32_t* number) {
    const char* rest = scanUnsigned(text, 10, *number);
    if (rest == nullptr) return 0;
    while (isWhiteSpace(*rest)) ++rest;
    return *rest == '\0';
}

// `expected` is lower case. ASCII only: the C library's case-insensitive
// compare follows the locale.
bool equalsIgnoringCase(const char* text, const char* expected) {
    for (; *expected != '\0'; ++text, ++expected)
        if ((*text | 0x20) != *expected) return false;
    return *text == '\0';
}

}  // namespace

void reportSettingsError(const char* fileName, const char* section, const char* key, const char* tail) {
    if (fileName[0] == '.' && fileName[1] == '\\') fileName += 2;
    if (key != nullptr) {
        if (section == nullptr) section = "";
        std::snprintf(message, sizeof message, "設定ファイル (%s) 内の [%s] セクションのキー '%s' %s", fileName,
                      section, key, tail);
    } else {
        std::snprintf(message, sizeof message, "設定ファイル (%s) %s", fileName, tail);
    }
    reportError(message);
}

int loadSettings() {
    char value[valueSize];

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
