#pragma once

#include <cstdint>

// Reads the part mask from the argument text as one hexadecimal number, the
// way the C library's "%lx" conversion does: leading white space skipped, an
// optional sign, an optional 0x or 0X, digits up to the first character that
// is not one, the rest ignored. A value too large for 32 bits becomes
// 0xFFFFFFFF, as strtoul gives it. Returns 1 and sets partMask when a number
// was found, else 0.
int parsePartMask(const char* text, std::uint32_t& partMask);
