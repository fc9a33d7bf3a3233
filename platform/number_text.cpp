#include "platform/number_text.h"

#include <bit>
#include <cmath>
#include <cstring>

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

namespace {


constexpr std::uint64_t powersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Writes the decimal digits of `value`, most significant first.
char* putDigits(char* out, std::uint64_t value) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = reversed[--count];
    return out;
}

// Writes the integer `significand` x 2^`exponent` (exponent 0 to 971): the
// digits are kept in base 10^9 pieces, least significant first, and doubled
// several times a pass. A piece is below 2^30, so shifted by 31 it leaves
// room in 64 bits for the carry.
char* putLargeInteger(char* out, std::uint64_t significand, int exponent) {
    constexpr std::uint64_t pieceBase = 1000000000;
    constexpr int shiftPerPass = 31;
    std::uint32_t pieces[(std::numeric_limits<double>::max_exponent10 + 1 + 8) / 9];
    int count = 0;
    for (; significand != 0; significand /= pieceBase)
        pieces[count++] = static_cast<std::uint32_t>(significand % pieceBase);
    for (; exponent > 0; exponent -= shiftPerPass) {
        int shift = exponent < shiftPerPass ? exponent : shiftPerPass;
        std::uint64_t carry = 0;
        for (int i = 0; i < count; ++i) {
            std::uint64_t piece = (std::uint64_t{pieces[i]} << shift) + carry;
            pieces[i] = static_cast<std::uint32_t>(piece % pieceBase);
            carry = piece / pieceBase;
        }
        for (; carry != 0; carry /= pieceBase) pieces[count++] = static_cast<std::uint32_t>(carry % pieceBase);
    }
    out = putDigits(out, pieces[--count]);
    while (count > 0) {
        std::uint32_t piece = pieces[--count];
        for (std::uint32_t unit = pieceBase / 10; unit != 0; unit /= 10)
            *out++ = static_cast<char>('0' + piece / unit % 10);
    }
    return out;
}

}  // namespace

Decimal fixedText(double value, int decimals) {
    Decimal out{};
    char* next = out.text;
    if (std::signbit(value)) *next++ = '-';
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    constexpr int fractionBits = std::numeric_limits<double>::digits - 1;
    constexpr std::uint64_t fractionMask = (std::uint64_t{1} << fractionBits) - 1;
    constexpr int exponentAll = 2 * std::numeric_limits<double>::max_exponent - 1;
    int biased = static_cast<int>(bits >> fractionBits) & exponentAll;
    std::uint64_t significand = bits & fractionMask;
    if (biased == exponentAll) {
        std::memcpy(next, significand != 0 ? "nan" : "inf", 3);
        return out;
    }
    if (biased != 0) significand |= fractionMask + 1;
    // value = significand x 2^exponent; subnormals share the smallest exponent.
    int exponent = (biased != 0 ? biased : 1) - (std::numeric_limits<double>::max_exponent - 1) - fractionBits;
    std::uint64_t fraction = 0;
    if (exponent >= 0) {
        next = putLargeInteger(next, significand, exponent);
    } else {
        // The value times 10^decimals fits 53 + 20 bits; what is shifted out
        // decides the rounding. With a shift beyond 127 bits it is below a half.
        unsigned __int128 scaled = static_cast<unsigned __int128>(significand) * powersOfTen[decimals];
        unsigned __int128 rounded = 0;
        int shift = -exponent;
        if (shift < 128) {
            rounded = scaled >> shift;
            unsigned __int128 rest = scaled - (rounded << shift);
            unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
            if (rest > half || (rest == half && (rounded & 1) != 0)) ++rounded;
        }
        fraction = static_cast<std::uint64_t>(rounded % powersOfTen[decimals]);
        next = putDigits(next, static_cast<std::uint64_t>(rounded / powersOfTen[decimals]));
    }
    if (decimals == 0) return out;
    *next++ = '.';
    for (std::uint64_t unit = powersOfTen[decimals - 1]; unit != 0; unit /= 10)
        *next++ = static_cast<char>('0' + fraction / unit % 10);
    return out;
}
