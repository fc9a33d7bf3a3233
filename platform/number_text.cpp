#include "platform/number_text.h"

bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

static int digitValue(char c, int base) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'z' ? c - 'a' + 10
                : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                       : base;
    return digit < base ? digit : -1;
}

const char* scanUnsigned(const char* text, int base, std::uint32_t& value) {
    if (text == nullptr) return nullptr;
    while (isWhiteSpace(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // "0x" counts as a prefix only when a digit follows; "0xg" reads as 0.
    if (base == 16 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && digitValue(text[2], 16) >= 0)
        text += 2;
    if (digitValue(*text, base) < 0) return nullptr;

    std::uint32_t number = 0;
    bool overflow = false;
    for (int digit; (digit = digitValue(*text, base)) >= 0; ++text) {
        if (number > (0xFFFFFFFFu - static_cast<std::uint32_t>(digit)) / static_cast<std::uint32_t>(base))
            overflow = true;
        number = number * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    value = overflow ? 0xFFFFFFFFu : negative ? 0u - number : number;
    return text;
}
