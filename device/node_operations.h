// What a sensor node does, as fixed sequences of node exchanges: clear the
// command register, read the firmware version, take a live reading, read the
// sensor vectors, load and read the active or stored offsets, and set or
// store one axis's offset. Each returns 1 when every exchange succeeded and 0
// at the first failure, after which no further exchange is sent. Every read
// and write names the register it is meant for, so that a repeated attempt
// sets the pointer there again first; re-running a command is harmless, as
// each reloads, retakes or applies registers.
//
// Register map of a node:
//   0        firmware version
//   3        command register: sequence number in bits 4-7, command in 0-3
//   4 - 9    X, Y, Z offset, low byte then high bits, 11-bit form
//   10 - 12  live reading x, y, z, signed counts (64 = one g)
//   13 - 18  sensor vectors x1 y1 z1 x2 y2 z2, signed counts
#pragma once

#include <cstdint>

enum Axis : int { AxisX = 0, AxisY = 1, AxisZ = 2 };

enum NodeRegister : std::uint8_t {
    RegisterFirmware = 0,
    RegisterCommand = 3,
    RegisterOffsets = 4,
    RegisterLiveReading = 10,
    RegisterSensorVectors = 13,
};

enum NodeCommand : std::uint8_t {
    CommandClear = 0,
    CommandLiveReading = 1,
    CommandLoadActiveOffsets = 4,
    CommandLoadStoredOffsets = 5,
    CommandSetOffsetX = 6,    // 7 and 8 for Y and Z
    CommandStoreOffsetX = 9,  // 10 and 11 for Y and Z
};

// The rolling sequence number of command bytes, shared by all nodes. 0 at
// start, never reset; it advances (mod 16) right before each command byte
// is written, so the first command byte carries 1.
extern std::uint8_t sequenceNibble;

int clearCommand(std::uint8_t node);
int readFirmwareVersion(std::uint8_t node, std::uint8_t* version);

// Each value is stored as soon as its read succeeds; after a failure the
// values before it are new and the rest unchanged.
int readLiveReading(std::uint8_t node, std::int8_t reading[3]);
int readSensorVectors(std::uint8_t node, std::int8_t vectors[6]);

// The three offsets (half counts) change only when all six reads succeeded.
int readActiveOffsets(std::uint8_t node, std::int16_t offsets[3]);
int readStoredOffsets(std::uint8_t node, std::int16_t offsets[3]);

int setActiveOffset(std::uint8_t node, Axis axis, std::int16_t value);
int storeOffset(std::uint8_t node, Axis axis, std::int16_t value);
