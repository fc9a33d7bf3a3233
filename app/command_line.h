#pragma once

#include <cstdint>

// Reads the part mask from the argument text as one hexadecimal number, the
// way the C library's "%lx" conversion does (scanUnsigned with base 16); the
// rest of the text is ignored. Returns 1 and sets partMask when a number was
// found, else 0.
int parsePartMask(const char* text, std::uint32_t& partMask);

// The switch that starts the hardware settings mode in place of the part
// mask: "/settings" or "-settings", in any case, with nothing but white space
// around it. Returns 1 when `text` is that switch.
int isSettingsSwitch(const char* text);

// The switch that starts the monitor mode: "/monitor" or "-monitor", under
// the same rules, or followed by a keys file to go on with: white space,
// then the file's name, in double quotes when it has blanks. The name (or
// "" when there is none) goes to `keysFile`, when given, cut to `capacity`.
int isMonitorSwitch(const char* text, char* keysFile = nullptr, int capacity = 0);
