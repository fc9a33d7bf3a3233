#include "device/port_search.h"

namespace {

constexpr std::uint32_t highestPortNumber = 256;

// ASCII letters only: every other byte, and so every byte of a character
// beyond ASCII, is compared as it stands.
char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The bytes of the UTF-8 character that starts with `lead`; a byte that
// starts no character counts as one of its own.
unsigned characterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    return 1;
}

// A match may start only where a character starts, so that no part of a
// Japanese character is taken for a letter or for the start of another.
bool containsFolded(const char* text, const char* part) {
    if (part[0] == '\0') return true;
    while (*text != '\0') {
        unsigned i = 0;
        while (part[i] != '\0' && foldCase(text[i]) == foldCase(part[i])) ++i;
        if (part[i] == '\0') return true;
        for (unsigned step = characterLength(static_cast<unsigned char>(*text)); step > 0 && *text != '\0'; --step)
            ++text;
    }
    return false;
}

}  // namespace

std::uint32_t portNumberOf(const char* portName) {
    if (foldCase(portName[0]) != 'c' || foldCase(portName[1]) != 'o' || foldCase(portName[2]) != 'm') return 0;
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
