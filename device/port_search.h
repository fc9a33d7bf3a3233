// Finding the doll's port when the settings file says "auto": among the
// serial ports present, the first whose friendly name or device description
// contains ProductDesc, without regard to the case of ASCII letters. The
// texts are compared in UTF-8, character by character.
#pragma once

#include <cstdint>

// One present device of the ports class, its texts in UTF-8 (a registry
// text of up to 255 characters).
struct PortEntry {
    char friendlyName[3 * 256];
    char deviceDescription[3 * 256];
    char portName[32];  // "COM3" and the like
};

// The number of a port name "COM<n>" (the letters in any case, as Windows
// opens it), n from 1 to 256 without leading zeros (so that "\\.\COM<n>"
// names the same port); 0 for any other name.
std::uint32_t portNumberOf(const char* portName);

// The number of the first entry whose friendly name or description contains
// `productDesc` (UTF-8) and whose port name gives a number; 0 when none does.
std::uint32_t findPortNumber(const PortEntry* entries, unsigned count, const char* productDesc);

// Windows: opens the port of the settings file. Port number 0 ("auto") looks
// the port up by `productDesc` among the present ports; when none matches,
// reports that and opens nothing. Returns what openPort returns, or 0.
int openConfiguredPort(std::uint32_t portNumber, const char* productDesc);
