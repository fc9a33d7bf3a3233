#include "output/osc_message.h"

#include <bit>
#include <cstring>

namespace {

// The bundle's head: its name and the time tag 1, "at once".
constexpr std::uint8_t bundleHead[16] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};

// Room for `count` more bytes; once anything did not fit, nothing more is written.
int hasRoom(OscPacket& packet, int count) {
    if (!packet.overflowed && count <= oscPacketCapacity - packet.size) return 1;
    packet.overflowed = true;
    return 0;
}

void putBigEndian(std::uint8_t out[4], std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<std::uint8_t>(value >> (24 - 8 * k));
}

void putWord(OscPacket& packet, std::uint32_t value) {
    if (!hasRoom(packet, 4)) return;
    putBigEndian(packet.bytes + packet.size, value);
    packet.size += 4;
}

// The text, its NUL and the zeros up to the next multiple of four, or nothing.
void putPadded(OscPacket& packet, const char* text) {
    int length = static_cast<int>(std::strlen(text));
    int padded = (length + 4) & ~3;
    if (!hasRoom(packet, padded)) return;
    std::memcpy(packet.bytes + packet.size, text, length);
    std::memset(packet.bytes + packet.size + length, 0, padded - length);
    packet.size += padded;
}

// The open message's size field gets the bytes after it.
void closeMessage(OscPacket& packet) {
    if (packet.messageStart >= 0 && !packet.overflowed)
        putBigEndian(packet.bytes + packet.messageStart,
                     static_cast<std::uint32_t>(packet.size - packet.messageStart - 4));
    packet.messageStart = -1;
}

}  // namespace

void startOscBundle(OscPacket& packet) {
    std::memcpy(packet.bytes, bundleHead, sizeof bundleHead);
    packet.size = sizeof bundleHead;
    packet.messageStart = -1;
    packet.overflowed = false;
}

void startOscMessage(OscPacket& packet, const char* address, const char* tags) {
    closeMessage(packet);
    packet.messageStart = packet.size;
    putWord(packet, 0);
    putPadded(packet, address);
    putPadded(packet, tags);
}

void putOscInt(OscPacket& packet, std::int32_t value) { putWord(packet, static_cast<std::uint32_t>(value)); }

void putOscFloat(OscPacket& packet, float value) { putWord(packet, std::bit_cast<std::uint32_t>(value)); }

void putOscString(OscPacket& packet, const char* text) { putPadded(packet, text); }

int finishOscBundle(OscPacket& packet) {
    closeMessage(packet);
    return packet.overflowed ? 0 : 1;
}
