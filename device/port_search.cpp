#include "device/port_search.h"

namespace {

constexpr std::uint32_t highestPortNumber = 256;

// ASCII letters only, byte by byte: the texts are ANSI bytes, and every other
// byte is compared as it stands, whatever the locale.
char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsFolded(const char* text, const char* part) {
    for (; *text != '\0'; ++text) {
        unsigned i = 0;
        while (part[i] != '\0' && foldCase(text[i]) == foldCase(part[i])) ++i;
        if (part[i] == '\0') return true;
    }
    return part[0] == '\0';
}

}  // namespace

std::uint32_t portNumberOf(const char* portName) {
    if (portName[0] != 'C' || portName[1] != 'O' || portName[2] != 'M') return 0;
    const char* digit = portName + 3;
    if (*digit < '1' || *digit > '9') return 0;
    std::uint32_t number = 0;
    for (; *digit >= '0' && *digit <= '9'; ++digit) {
        number = number * 10 + static_cast<std::uint32_t>(*digit - '0');
        if (number > highestPortNumber) return 0;
    }
    return *digit == '\0' ? number : 0;
}

std::uint32_t findPortNumber(const PortEntry* entries, unsigned count, const char* productDesc) {
    for (unsigned i = 0; i < count; ++i) {
        const PortEntry& entry = entries[i];
        std::uint32_t number = portNumberOf(entry.portName);
        if (number == 0) continue;
        if (containsFolded(entry.friendlyName, productDesc) || containsFolded(entry.deviceDescription, productDesc))
            return number;
    }
    return 0;
}
