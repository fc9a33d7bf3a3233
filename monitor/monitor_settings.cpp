#include "monitor/monitor_settings.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "platform/settings_values.h"

namespace {

constexpr MonitorSettings defaultMonitorSettings{30, 1, 12};

// The rates video and animation tools offer, so that a recording fits their
// timelines as it is.
constexpr std::uint32_t frameRates[] = {24, 25, 30, 50, 60};
constexpr std::uint32_t offOrOn[] = {0, 1};

bool oneOf(std::span<const std::uint32_t> allowed, std::uint32_t number) {
    return std::find(allowed.begin(), allowed.end(), number) != allowed.end();
}

// A key missing or empty leaves `value` as it is; `allowed` tells the values the key takes.
template <typename Allowed>
int readAllowedNumber(const char* key, Allowed allowed, int* value) {
    char text[settingsValueSize];
    readSettingsValue(settingsFileName, "MONITOR", key, text, sizeof text);
    if (text[0] == '\0') return 1;
    std::uint32_t number;
    if (!readNumberAlone(text, &number)) {
        reportSettingsError(settingsFileName, "MONITOR", key, badContent);
        return 0;
    }
    if (!allowed(number)) {
        reportSettingsError(settingsFileName, "MONITOR", key, badValue);
        return 0;
    }
    *value = static_cast<int>(number);
    return 1;
}

}  // namespace

MonitorSettings monitorSettings = defaultMonitorSettings;

int loadMonitorSettings() {
    MonitorSettings read = defaultMonitorSettings;
    if (!readAllowedNumber("FrameRate", [](std::uint32_t n) { return oneOf(frameRates, n); }, &read.frameRate) ||
        !readAllowedNumber("Grounded", [](std::uint32_t n) { return oneOf(offOrOn, n); }, &read.grounded) ||
        !readAllowedNumber("KeyHold", [](std::uint32_t n) { return n >= 1 && n <= 9999; }, &read.keyHold))
        return 0;
    monitorSettings = read;
    return 1;
}
