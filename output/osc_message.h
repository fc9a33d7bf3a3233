// OSC 1.0 packets as the live link sends them: one bundle per frame, of
// messages whose arguments are 32-bit integers, 32-bit floats and strings.
// Every item is padded with zero bytes to a multiple of four; numbers are
// big-endian; a bundle is "#bundle", the time tag 1 ("at once") and each
// message after its size.
#pragma once

#include <cstdint>

// One frame's bundle fits with room to spare; a packet that does not fit is
// marked, never cut.
constexpr int oscPacketCapacity = 2048;

struct OscPacket {
    std::uint8_t bytes[oscPacketCapacity];
    int size;          // bytes written so far
    int messageStart;  // where the open message's size field lies, -1 when none is open
    bool overflowed;   // something did not fit: the packet must not be sent
};

void startOscBundle(OscPacket& packet);

// Opens the next message of the bundle, closing the one before: its address
// and type tags (",sfffffff"); the arguments follow, in the tags' order.
void startOscMessage(OscPacket& packet, const char* address, const char* tags);
void putOscInt(OscPacket& packet, std::int32_t value);
void putOscFloat(OscPacket& packet, float value);
void putOscString(OscPacket& packet, const char* text);

// Closes the last message. Returns 1 when the whole bundle fitted, else 0.
int finishOscBundle(OscPacket& packet);
