#include "device/node_operations.h"

#include "device/node_protocol.h"
#include "device/offset_code.h"

std::uint8_t sequenceNibble;

namespace {

// Writes a command byte into the command register. The sequence number
// advances only once the register is addressed, and stays advanced even when
// the write then fails.
int sendCommand(std::uint8_t node, std::uint8_t command) {
    if (!sendAddress(node, RegisterCommand)) return 0;
    sequenceNibble = (sequenceNibble + 1) & 0x0F;
    return sendWrite(node, static_cast<std::uint8_t>(sequenceNibble << 4 | command), RegisterCommand);
}

// Consecutive registers from `first`, each value stored as soon as its read succeeds.
template <typename Value>
int readRegisters(std::uint8_t node, std::uint8_t first, Value* values, int count) {
    if (!sendAddress(node, first)) return 0;
    for (int i = 0; i < count; ++i) {
        std::uint8_t value;
        if (!sendRead(node, &value, first + i)) return 0;
        values[i] = static_cast<Value>(value);
    }
    return 1;
}

// The node places the offsets in registers 4-9 on `command`; all three are
// taken only when all six bytes arrived.
int readOffsets(std::uint8_t node, std::uint8_t command, std::int16_t offsets[3]) {
    std::uint8_t bytes[6];
    if (!sendCommand(node, command) || !readRegisters(node, RegisterOffsets, bytes, 6)) return 0;
    for (int axis = 0; axis < 3; ++axis) offsets[axis] = decodeOffset(bytes[2 * axis], bytes[2 * axis + 1]);
    return 1;
}

// The axis's two data registers, then the command that takes them.
int sendOffset(std::uint8_t node, Axis axis, std::int16_t value, std::uint8_t command) {
    const int low = RegisterOffsets + 2 * axis;
    return sendAddress(node, static_cast<std::uint8_t>(low)) && sendWrite(node, offsetLowByte(value), low) &&
           sendWrite(node, offsetHighBits(value), low + 1) &&
           sendCommand(node, static_cast<std::uint8_t>(command + axis));
}

}  // namespace

int clearCommand(std::uint8_t node) {
    return sendAddress(node, RegisterCommand) && sendWrite(node, CommandClear, RegisterCommand);
}

int readFirmwareVersion(std::uint8_t node, std::uint8_t* version) {
    return readRegisters(node, RegisterFirmware, version, 1);
}

int readLiveReading(std::uint8_t node, std::int8_t reading[3]) {
    return sendCommand(node, CommandLiveReading) && readRegisters(node, RegisterLiveReading, reading, 3);
}

int readSensorVectors(std::uint8_t node, std::int8_t vectors[6]) {
    return readRegisters(node, RegisterSensorVectors, vectors, 6);
}

int readActiveOffsets(std::uint8_t node, std::int16_t offsets[3]) {
    return readOffsets(node, CommandLoadActiveOffsets, offsets);
}

int readStoredOffsets(std::uint8_t node, std::int16_t offsets[3]) {
    return readOffsets(node, CommandLoadStoredOffsets, offsets);
}

int setActiveOffset(std::uint8_t node, Axis axis, std::int16_t value) {
    return sendOffset(node, axis, value, CommandSetOffsetX);
}

int storeOffset(std::uint8_t node, Axis axis, std::int16_t value) {
    return sendOffset(node, axis, value, CommandStoreOffsetX);
}
