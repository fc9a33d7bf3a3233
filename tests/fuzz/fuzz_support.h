// What the fuzz targets share: the input taken byte by byte, the far end of
// the serial line, and the check that turns a broken promise into a finding
// (an abort, which libFuzzer records). The platform is the native tests' fake.
#pragma once

#include <string>

#include "tools/virtual-doll/doll.h"

// The far end of the line. Each request takes a control byte from the input:
// with a doll, the doll answers unless the byte is 0xC0 or above; without one,
// or at 0xC0 and above, (byte & 31) input bytes arrive in place of a reply.
struct FuzzLine {
    const std::uint8_t *next, *end;  // the input not yet taken
    Doll* doll;
    std::string pending, lastRead;  // arrived and not yet read; taken by the last read
    int writes, purges;
};
extern FuzzLine fuzzLine;

int takeByte();  // the next input byte, -1 once the input is used up
void expect(bool holds, const char* what);
