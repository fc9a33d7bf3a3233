// What the fuzz targets share: the input taken byte by byte, a settings file
// held in memory, the far end of the serial line, and the check that turns a
// broken promise into a finding (an abort, which libFuzzer records).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/virtual-doll/doll.h"

void startInput(const std::uint8_t* data, std::size_t size);
int takeByte();  // -1 once the input is used up
void expect(bool holds, const char* what);

// readSettingsValue reads this text as the settings file; showErrorBox counts the boxes.
extern const char* settingsText;
extern std::size_t settingsTextSize;
extern int errorBoxes;

// The far end of the line. With a doll, the doll answers each request unless
// the next input byte is 0xC0 or above: then (byte & 15) input bytes arrive in
// place of its reply. Without one, a count byte (0 to 31) and that many input bytes.
struct FuzzLine {
    Doll* doll;
    char pending[64];   // bytes not yet read; more are lost, as in a full receive buffer
    char lastRead[16];  // the last read that got all its bytes
    std::size_t pendingLength;
    int writes, purges;
};
extern FuzzLine fuzzLine;
