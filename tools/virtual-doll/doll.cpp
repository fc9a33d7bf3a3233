#include "tools/virtual-doll/doll.h"

#include <cstring>

#include "device/offset_code.h"

namespace {

// A node's registers. 1, 2 and 19-255 are plain storage; the firmware
// version, the live reading and the sensor vectors are the node's own and
// writes leave them as they are.
enum : std::uint8_t {
    RegisterFirmware = 0,
    RegisterCommand = 3,
    RegisterOffsets = 4,         // X low, X high, Y low, Y high, Z low, Z high
    RegisterLiveReading = 10,    // x y z
    RegisterSensorVectors = 13,  // x1 y1 z1 x2 y2 z2
    RegisterLastUsed = 18,
};

constexpr char identification[] = "Gestalyx\r\n";
constexpr std::size_t identificationLength = sizeof identification - 1;
constexpr std::uint8_t factoryFirmwareVersion = 0x10;

// The request frames: letter, length without the LF, whether a node address
// follows the letter, and whether the reply echoes a number of the request.
struct RequestFrame {
    char letter;
    std::size_t length;
    bool namesNode;
    bool echoes;
};

constexpr RequestFrame requestFrames[] = {
    {'a', 5, true, true},  {'w', 5, true, true},   {'r', 3, true, true},   {'c', 3, false, true},
    {'s', 1, false, false}, {'u', 1, false, false}, {'v', 1, false, false},
};

// A request line the doll takes: its frame, the node it names and the number
// it carries (register, value or source).
struct DollRequest {
    const RequestFrame* frame;
    DollNode* node;
    std::uint8_t number;
};

// splitmix64: any seed, including 0, gives a full-period sequence.
std::uint64_t nextRandom(Doll& doll) {
    std::uint64_t z = (doll.random += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t randomBelow(Doll& doll, std::uint32_t bound) {
    return static_cast<std::uint32_t>(nextRandom(doll) % bound);
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Two hex digits of either case. Returns 1 with the byte in `value`.
int parseHexByte(const char* text, std::uint8_t& value) {
    int high = hexDigitValue(text[0]), low = hexDigitValue(text[1]);
    if (high < 0 || low < 0) return 0;
    value = static_cast<std::uint8_t>(high * 16 + low);
    return 1;
}

std::size_t putHexByte(char* out, std::uint8_t value) {
    constexpr char digits[] = "0123456789ABCDEF";
    out[0] = digits[value >> 4];
    out[1] = digits[value & 15];
    return 2;
}

// "<letter><number>\r\n" or "<letter><number><number>\r\n", upper-case digits.
std::size_t frameReply(char* reply, char letter, std::uint8_t first, const std::uint8_t* second = nullptr) {
    std::size_t length = 0;
    reply[length++] = letter;
    length += putHexByte(reply + length, first);
    if (second != nullptr) length += putHexByte(reply + length, *second);
    reply[length++] = '\r';
    reply[length++] = '\n';
    return length;
}

// Takes the completed line. Returns 1 when it is a request the doll answers:
// a known letter, the length of its frame, hex digits, a node that exists.
int parseRequest(Doll& doll, const char* line, std::size_t length, DollRequest& request) {
    request = {nullptr, nullptr, 0};
    for (const RequestFrame& frame : requestFrames)
        if (length > 0 && line[0] == frame.letter) request.frame = &frame;
    if (request.frame == nullptr || length != request.frame->length) return 0;
    const char* digits = line + 1;
    if (request.frame->namesNode) {
        std::uint8_t address;
        if (!parseHexByte(digits, address) || (request.node = findDollNode(doll, address)) == nullptr) return 0;
        digits += 2;
    }
    if (digits < line + length && !parseHexByte(digits, request.number)) return 0;
    return 1;
}

std::uint8_t readRegister(const DollNode& node, std::uint8_t number) {
    if (number == RegisterFirmware) return node.firmwareVersion;
    if (number >= RegisterSensorVectors && number <= RegisterLastUsed)
        return static_cast<std::uint8_t>(node.posture[number - RegisterSensorVectors]);
    return node.registers[number];
}

// A count as a sensor gives it: plus noise drawn uniformly from -noise to
// +noise, clamped to a signed byte.
std::uint8_t withNoise(Doll& doll, int count) {
    if (doll.noise != 0) count += static_cast<int>(randomBelow(doll, 2u * doll.noise + 1)) - doll.noise;
    return static_cast<std::uint8_t>(count < -128 ? -128 : count > 127 ? 127 : count);
}

// The node's first sensor vector plus its active offset (half counts, so
// halved), plus noise: a calibration computed from one reading brings the next
// to (0, 0, 64).
void takeLiveReading(Doll& doll, DollNode& node) {
    for (int axis = 0; axis < 3; ++axis)
        node.registers[RegisterLiveReading + axis] = withNoise(doll, node.posture[axis] + (node.activeOffset[axis] >> 1));
}

void placeOffsets(DollNode& node, const std::int16_t offsets[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        node.registers[RegisterOffsets + 2 * axis] = offsetLowByte(offsets[axis]);
        node.registers[RegisterOffsets + 2 * axis + 1] = offsetHighBits(offsets[axis]);
    }
}

std::int16_t registerOffset(const DollNode& node, int axis) {
    return decodeOffset(node.registers[RegisterOffsets + 2 * axis], node.registers[RegisterOffsets + 2 * axis + 1]);
}

// The command register: bits 0-3 are the command, bits 4-7 the host's
// sequence number, which the node keeps but does not use.
void runCommand(Doll& doll, DollNode& node, std::uint8_t commandByte) {
    node.registers[RegisterCommand] = commandByte;
    int command = commandByte & 0x0F;
    switch (command) {
    case 0: node.registers[RegisterCommand] = 0x00; break;
    case 1: takeLiveReading(doll, node); break;
    case 4: placeOffsets(node, node.activeOffset); break;
    case 5: placeOffsets(node, node.storedOffset); break;
    case 6:
    case 7:
    case 8: node.activeOffset[command - 6] = registerOffset(node, command - 6); break;
    case 9:
    case 10:
    case 11:
        node.storedOffset[command - 9] = registerOffset(node, command - 9);
        doll.memoryChanged = true;
        break;
    default: break;  // 2, 3 and 12-15 are no commands
    }
}

void writeRegister(Doll& doll, DollNode& node, std::uint8_t number, std::uint8_t value, bool carryOutCommands) {
    if (number == RegisterFirmware || (number >= RegisterLiveReading && number <= RegisterLastUsed)) return;
    if (number != RegisterCommand)
        node.registers[number] = value;
    else if (carryOutCommands)
        runCommand(doll, node, value);
}

// One handler per request letter. The pointer moves on after every read and
// write, wrapping from 255 to 0.
std::size_t answerRequest(Doll& doll, const DollRequest& request, bool carryOutCommands, char* reply) {
    DollNode* node = request.node;
    switch (request.frame->letter) {
    case 'a':
        node->pointer = request.number;
        return frameReply(reply, 'A', node->address);
    case 'w':
        writeRegister(doll, *node, node->pointer++, request.number, carryOutCommands);
        return frameReply(reply, 'W', node->address);
    case 'r': {
        const std::uint8_t number = node->pointer++;
        std::uint8_t value = readRegister(*node, number);
        if (number >= RegisterSensorVectors && number <= RegisterLastUsed) value = withNoise(doll, static_cast<std::int8_t>(value));
        return frameReply(reply, 'R', node->address, &value);
    }
    case 'c':
        if (doll.switchSource != request.number) doll.memoryChanged = true;
        doll.switchSource = request.number;
        return frameReply(reply, 'C', request.number);
    case 'u': return frameReply(reply, 'U', doll.switchSource);
    case 's': return frameReply(reply, 'S', doll.status);
    case 'v': std::memcpy(reply, identification, identificationLength); return identificationLength;
    }
    return 0;
}

bool planIsSet(const DollFaultPlan& plan) { return plan.kind != FaultNone || plan.correctFromAttempt > 1; }

// The whole doll's plan comes first; otherwise the node's own, or for c, u,
// s and v the plan of the doll's own exchanges. A plan that names no kind
// but a correct attempt is silent before it.
DollFault plannedFault(Doll& doll, const DollRequest& request) {
    const DollFaultPlan* plan = &doll.fault;
    if (!planIsSet(*plan)) plan = request.node != nullptr ? &request.node->fault : &doll.unitFault;
    if (planIsSet(*plan)) {
        if (plan->correctFromAttempt > 1 && doll.attempt >= plan->correctFromAttempt) return FaultNone;
        return plan->kind == FaultNone ? FaultSilent : plan->kind;
    }
    if (doll.faultPercent == 0 && doll.lostPercent == 0) return FaultNone;
    std::uint32_t chance = randomBelow(doll, 100);
    if (chance < doll.faultPercent) {
        constexpr DollFault replyEdgeKinds[] = {FaultSilent, FaultCutShort, FaultLfForCr, FaultGarbage, FaultWrongEcho};
        return replyEdgeKinds[randomBelow(doll, request.frame->echoes ? 5 : 4)];
    }
    if (chance - doll.faultPercent >= doll.lostPercent) return FaultNone;
    constexpr DollFault lostKinds[] = {FaultLost, FaultLostCut, FaultLostGarbage};
    return lostKinds[randomBelow(doll, 3)];
}

// Damages a correct reply of `length` bytes; returns the length sent.
std::size_t damageReply(Doll& doll, const DollRequest& request, DollFault fault, char* reply, std::size_t length) {
    switch (fault) {
    case FaultSilent:
    case FaultLost: return 0;
    case FaultWrongEcho:
        if (request.node != nullptr) {
            // the next node in table order answers in its place
            std::size_t next = (static_cast<std::size_t>(request.node - doll.nodes) + 1) % dollNodeCount;
            putHexByte(reply + 1, doll.nodes[next].address);
        } else {
            putHexByte(reply + 1, request.number ^ 1);
        }
        return length;
    case FaultCutShort:
    case FaultLostCut: return length - 1;
    case FaultLfForCr: reply[length - 2] = '\n'; return length;
    case FaultGarbage:
    case FaultLostGarbage: std::memset(reply, '?', length); return length;
    default: return length;
    }
}

std::size_t answerLine(Doll& doll, char* reply) {
    DollRequest request;
    if (!parseRequest(doll, doll.request, doll.requestLength, request)) return 0;

    bool once = doll.onceKind != FaultNone && doll.requestLength == doll.onceLength &&
                std::memcmp(doll.request, doll.onceRequest, doll.onceLength) == 0 && --doll.onceCountdown == 0;
    DollFault fault = once ? doll.onceKind : plannedFault(doll, request);
    if (once) doll.onceKind = FaultNone;
    bool commandWrite = request.frame->letter == 'w' && request.node->pointer == RegisterCommand;
    if ((fault == FaultIgnoreCommand && !commandWrite) || (fault == FaultWrongEcho && !request.frame->echoes))
        fault = FaultNone;

    // A reply-edge fault means the request never reached the node intact:
    // whatever answering it changed is put back. A lost reply keeps it.
    DollNode nodeBefore{};
    if (request.node != nullptr) nodeBefore = *request.node;
    std::uint8_t switchSourceBefore = doll.switchSource;
    bool memoryChangedBefore = doll.memoryChanged;

    std::size_t length = answerRequest(doll, request, fault != FaultIgnoreCommand, reply);
    doll.lastFault = fault;
    if (fault == FaultNone || fault == FaultIgnoreCommand) return length;
    if (fault != FaultLost && fault != FaultLostCut && fault != FaultLostGarbage) {
        if (request.node != nullptr) *request.node = nodeBefore;
        doll.switchSource = switchSourceBefore;
        doll.memoryChanged = memoryChangedBefore;
    }
    return damageReply(doll, request, fault, reply, length);
}

}  // namespace

void resetDoll(Doll& doll) {
    doll = Doll{};
    for (int i = 0; i < dollNodeCount; ++i) {
        doll.nodes[i].address = dollNodeAddresses[i];
        doll.nodes[i].firmwareVersion = factoryFirmwareVersion;
    }
    doll.random = 1;
    powerUpDoll(doll);
}

void powerUpDoll(Doll& doll) {
    for (DollNode& node : doll.nodes) {
        std::memset(node.registers, 0, sizeof node.registers);
        node.registers[RegisterFirmware] = node.firmwareVersion;
        std::memcpy(node.activeOffset, node.storedOffset, sizeof node.activeOffset);
        node.pointer = 0;
    }
    doll.lineLength = 0;
    doll.lineOverflow = false;
    doll.requestLength = 0;
    doll.lastRequestLength = 0;
    doll.lastFaulted = false;
    doll.readdressed = false;
    doll.attempt = 0;
    doll.lastFault = FaultNone;
}

DollNode* findDollNode(Doll& doll, std::uint8_t address) {
    for (DollNode& node : doll.nodes)
        if (node.address == address) return &node;
    return nullptr;
}

std::size_t receiveDollByte(Doll& doll, unsigned char byte, char* reply) {
    char c = static_cast<char>(byte & 0x7F);
    if (c != '\n') {
        if (doll.lineLength < sizeof doll.line)
            doll.line[doll.lineLength++] = c;
        else
            doll.lineOverflow = true;
        return 0;
    }

    bool dropped = doll.lineOverflow;
    std::memcpy(doll.request, doll.line, doll.lineLength);
    doll.requestLength = doll.lineLength;
    doll.lineLength = 0;
    doll.lineOverflow = false;

    // An attempt is the same line again right after a faulted exchange, or
    // right after the address line that set the pointer again for it; that
    // address line counts as the attempt's beginning.
    bool repeat = (doll.lastFaulted || doll.readdressed) && doll.requestLength == doll.lastRequestLength &&
                  std::memcmp(doll.request, doll.lastRequest, doll.requestLength) == 0;
    bool readdressing = !repeat && doll.lastFaulted && doll.requestLength == 5 && doll.request[0] == 'a' &&
                        doll.lastRequestLength >= 3 && (doll.lastRequest[0] == 'r' || doll.lastRequest[0] == 'w') &&
                        std::memcmp(doll.request + 1, doll.lastRequest + 1, 2) == 0;
    if (!(repeat && doll.readdressed)) doll.attempt = repeat || readdressing ? doll.attempt + 1 : 1;

    doll.lastFault = FaultNone;
    std::size_t length = dropped ? 0 : answerLine(doll, reply);
    if (!readdressing) {
        std::memcpy(doll.lastRequest, doll.request, doll.requestLength);
        doll.lastRequestLength = doll.requestLength;
    }
    doll.lastFaulted = doll.lastFault != FaultNone;
    doll.readdressed = readdressing && !doll.lastFaulted;
    return length;
}
