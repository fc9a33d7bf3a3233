#include "monitor/monitor_settings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/platform.h"
#include "platform/settings_values.h"

namespace {

constexpr MonitorSettings defaultMonitorSettings{30, 1, 12, {"127.0.0.1", 39539, 0, 1}};

// The rates video and animation tools offer, so that a recording fits their
// timelines as it is.
constexpr std::uint32_t frameRates[] = {24, 25, 30, 50, 60};
constexpr std::uint32_t offOrOn[] = {0, 1};

bool oneOf(std::span<const std::uint32_t> allowed, std::uint32_t number) {
    return std::find(allowed.begin(), allowed.end(), number) != allowed.end();
}

// A key missing or empty leaves `value` as it is; `allowed` tells the values the key takes.
template <typename Allowed>
int readAllowedNumber(const char* section, const char* key, Allowed allowed, int* value) {
    char text[settingsValueSize];
    readSettingsValue(settingsFileName, section, key, text, sizeof text);
    if (text[0] == '\0') return 1;
    std::uint32_t number;
    if (!readNumberAlone(text, &number)) {
        reportSettingsError(settingsFileName, section, key, badContent);
        return 0;
    }
    if (!allowed(number)) {
        reportSettingsError(settingsFileName, section, key, badValue);
        return 0;
    }
    *value = static_cast<int>(number);
    return 1;
}

// A host is a name (at most 253 characters, as a name can be) or a numeric
// address: letters, digits and . - _ : % only, so that a blank, a quote or a
// comment left in the value is named here rather than sent to a name lookup.
int readHost(char (&host)[sizeof(LinkSettings::host)]) {
    char text[sizeof host + 1];
    readSettingsValue(settingsFileName, "LINK", "Host", text, sizeof text);
    if (text[0] == '\0') return 1;
    const std::size_t length = std::strlen(text);
    bool allowed = length <= 253;
    for (std::size_t i = 0; i < length && allowed; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        allowed = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  std::strchr(".-_:%", c) != nullptr;
    }
    if (!allowed) {
        reportSettingsError(settingsFileName, "LINK", "Host", badValue);
        return 0;
    }
    std::memcpy(host, text, length + 1);
    return 1;
}

}  // namespace

MonitorSettings monitorSettings = defaultMonitorSettings;

int loadMonitorSettings() {
    MonitorSettings read = defaultMonitorSettings;
    auto isOffOrOn = [](std::uint32_t n) { return oneOf(offOrOn, n); };
    if (!readAllowedNumber("MONITOR", "FrameRate", [](std::uint32_t n) { return oneOf(frameRates, n); }, &read.frameRate) ||
        !readAllowedNumber("MONITOR", "Grounded", isOffOrOn, &read.grounded) ||
        !readAllowedNumber("MONITOR", "KeyHold", [](std::uint32_t n) { return n >= 1 && n <= 9999; }, &read.keyHold) ||
        !readHost(read.link.host) ||
        !readAllowedNumber("LINK", "Port", [](std::uint32_t n) { return n >= 1 && n <= 65535; }, &read.link.port) ||
        !readAllowedNumber("LINK", "Enabled", isOffOrOn, &read.link.enabled) ||
        !readAllowedNumber("LINK", "Smooth", isOffOrOn, &read.link.smooth))
        return 0;
    monitorSettings = read;
    return 1;
}
