#pragma once

#include <cstdint>

// Reads an unsigned number as strtoul does, without its undefined corners:
// leading white space, an optional sign, for base 16 an optional 0x or 0X,
// then digits. A minus negates the value modulo 2^32; a magnitude beyond
// 0xFFFFFFFF gives 0xFFFFFFFF. Returns the character after the number, or
// null when no digit starts the text. White space is the six characters of
// the C locale, whatever the locale.
const char* scanUnsigned(const char* text, int base, std::uint32_t& value);

bool isWhiteSpace(char c);
