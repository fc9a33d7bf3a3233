#include "app/command_line.h"

static int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int parsePartMask(const char* text, std::uint32_t& partMask) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (isBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // "0x" counts as a prefix only when a digit follows; "0xg" reads as 0.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigitValue(p[2]) >= 0) p += 2;
    if (hexDigitValue(*p) < 0) return 0;

    std::uint32_t value = 0;
    bool overflow = false;
    for (int digit; (digit = hexDigitValue(*p)) >= 0; ++p) {
        if (value > (0xFFFFFFFFu >> 4)) overflow = true;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (overflow) value = 0xFFFFFFFFu;
    else if (negative) value = 0u - value;
    partMask = value;
    return 1;
}
