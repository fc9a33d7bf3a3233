// The settings file: any text of [section] and key=value lines is taken whole, with a port from 1 to 256 or
// "auto" and a product name (one too long overruns productDesc), or refused with exactly one message; and so is
// its [MONITOR] once the rest is taken, with a rate allowed and Grounded 0 or 1.
#include <sstream>

#include "app/settings_file.h"
#include "monitor/monitor_settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/native/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetFakePlatform();
    productDesc[0] = '\0';
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line, section; std::getline(file, line);) {
        const std::size_t equals = line.find('=');
        if (line.starts_with('['))
            section = line.substr(1, line.find(']') - 1);
        else if (equals != line.npos)
            fakePlatform.settings.push_back({section, line.substr(0, equals), line.substr(equals + 1)});
    }
    const int taken = loadSettings();
    expect(fakePlatform.errorBoxes.size() == (taken ? 0u : 1u), "a refused file shows exactly one message, else none");
    expect(!taken || (portNumber >= 1 && portNumber <= 256) || (portNumber == 0 && productDesc[0] != '\0'),
           "the port is 1 to 256, or auto with a product name");
    if (!taken) return 0;
    const int monitorTaken = loadMonitorSettings();
    const int rate = monitorSettings.frameRate;
    expect(fakePlatform.errorBoxes.size() == (monitorTaken ? 0u : 1u), "a refused [MONITOR] shows exactly one message");
    expect((rate == 24 || rate == 25 || rate == 30 || rate == 50 || rate == 60) && (monitorSettings.grounded >> 1) == 0,
           "the rate is one allowed, Grounded 0 or 1");
    return 0;
}
