// Numbers read from text and written as text, the same under any locale.
#pragma once

#include <cstdint>
#include <limits>

// Reads an unsigned number as strtoul does, without its undefined corners:
// leading white space, an optional sign, for base 16 an optional 0x or 0X,
// then digits. A minus negates the value modulo 2^32; a magnitude beyond
// 0xFFFFFFFF gives 0xFFFFFFFF. Returns the character after the number, or
// null when no digit starts the text. White space is the six characters of
// the C locale, whatever the locale.
const char* scanUnsigned(const char* text, int base, std::uint32_t& value);

bool isWhiteSpace(char c);

// "%f" of the largest double: 309 integer digits, sign, point, six decimals, NUL.
struct Decimal {
    char text[std::numeric_limits<double>::max_exponent10 + 1 + 1 + 1 + 6 + 1];
};

// `value` with `decimals` places (0 to 6), as "%.*f" writes it in the C
// locale: the exact binary value rounded half to even, a minus for every
// negative value (also one that rounds to zero, and -0), "inf" and "nan"
// with their sign. Files must carry '.' under any locale, and printf
// follows LC_NUMERIC. The last byte, never written, ends the text.
Decimal fixedText(double value, int decimals);
