// Offsets travel as 11-bit two's-complement numbers, -1024 to 1023 half
// counts, split over a low register (bits 0-7) and a high register (bits
// 8-10 in its bits 0-2). The doll and the program share this one rule.
#pragma once

#include <cstdint>

constexpr std::uint8_t offsetLowByte(std::int16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

constexpr std::uint8_t offsetHighBits(std::int16_t value) {
    return static_cast<std::uint8_t>((value >> 8) & 7);
}

// Bits 3-7 of the high register do not count; bit 10 is the sign.
constexpr std::int16_t decodeOffset(std::uint8_t low, std::uint8_t high) {
    unsigned v = ((high & 7u) << 8) | low;
    return static_cast<std::int16_t>((v & 0x400) ? static_cast<int>(v) - 0x800 : static_cast<int>(v));
}
