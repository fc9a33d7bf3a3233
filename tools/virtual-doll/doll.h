// The doll's firmware as a model: eleven sensor nodes, each a register file
// with a pointer, and the doll as a whole with its switch/LED source. Bytes
// from the line go in one at a time; a completed request line gives the
// reply bytes. Nothing here knows of terminals, files or clocks, so the
// model runs the same behind a pseudo-terminal and inside a test.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int dollNodeCount = 11;
constexpr int dollRequestCapacity = 16;  // longer lines are dropped whole
constexpr int dollReplyCapacity = 16;

// Bus addresses and names in table order: hip, chest, head, rShldr, rForeArm,
// lShldr, lForeArm, rThigh, rShin, lThigh, lShin.
constexpr std::uint8_t dollNodeAddresses[dollNodeCount] = {0x20, 0x30, 0x31, 0x32, 0x33, 0x34,
                                                            0x35, 0x36, 0x37, 0x38, 0x39};
constexpr const char* dollNodeNames[dollNodeCount] = {"hip",      "chest",  "head",  "rShldr", "rForeArm", "lShldr",
                                                      "lForeArm", "rThigh", "rShin", "lThigh", "lShin"};

// Misbehaviour on purpose, all at the reply's edge but FaultIgnoreCommand.
// The first kinds leave the model as it was (the request did not reach the
// node intact) and the reply is absent or damaged; the lost kinds carry the
// request out and then lose or damage the reply on its way back, the likeliest
// fault of a real line.
enum DollFault : std::uint8_t {
    FaultNone,
    FaultSilent,         // no reply at all
    FaultWrongEcho,      // the echo names another node (or another source)
    FaultCutShort,       // the reply without its last byte
    FaultLfForCr,        // LF where the CR belongs
    FaultGarbage,        // bytes of the reply's length that are no reply
    FaultIgnoreCommand,  // command writes are acknowledged but not carried out
    FaultLost,           // carried out, then no reply at all
    FaultLostCut,        // carried out, then the reply without its last byte
    FaultLostGarbage,    // carried out, then bytes of the reply's length that are no reply
};
constexpr int dollFaultKinds = FaultLostGarbage + 1;

struct DollFaultPlan {
    DollFault kind = FaultNone;
    // 0 or 1: every exchange is faulted. N > 1: attempts 1 to N-1 of each
    // exchange are faulted and the Nth and later are answered correctly. An
    // attempt is a repeat of the previous request line after a faulted reply;
    // a read or write repeated after an address line for its node (the
    // pointer set again) is one attempt with that address line.
    std::uint32_t correctFromAttempt = 0;
};

struct DollNode {
    std::uint8_t address;
    std::uint8_t registers[256];  // 0-18 used; an 8-bit pointer reaches all 256
    std::uint8_t pointer;
    std::uint8_t firmwareVersion;
    std::int16_t activeOffset[3];  // half counts, X Y Z
    std::int16_t storedOffset[3];  // the node's memory
    std::int8_t posture[6];        // x1 y1 z1 x2 y2 z2, counts
    DollFaultPlan fault;           // this node only
};

struct Doll {
    DollNode nodes[dollNodeCount];
    std::uint8_t switchSource;  // the doll's memory
    std::uint8_t status;        // answered to 's'
    std::uint8_t noise;         // live readings vary by up to +-noise counts
    DollFaultPlan fault;        // every exchange, before any node's own plan
    DollFaultPlan unitFault;    // the doll's own exchanges only: c, u, s and v
    std::uint32_t faultPercent; // random faults: chance per exchange, 0-100
    std::uint32_t lostPercent;  // random lost replies, after faultPercent's share: chance per exchange

    // One fault on one request line: the onceCountdown-th line equal to
    // onceRequest (without its LF) gets onceKind, before any plan or rate.
    DollFault onceKind;
    char onceRequest[dollRequestCapacity];
    std::size_t onceLength;
    std::uint32_t onceCountdown;
    std::uint64_t random;       // seeded generator state for noise and random faults

    // The line being received, and the request last completed (for the log).
    char line[dollRequestCapacity];
    std::size_t lineLength;
    bool lineOverflow;
    char request[dollRequestCapacity];
    std::size_t requestLength;

    // Retry tracking for correctFromAttempt: the request being attempted,
    // whether the last line was faulted, and whether it set the pointer
    // again for that request.
    char lastRequest[dollRequestCapacity];
    std::size_t lastRequestLength;
    bool lastFaulted;
    bool readdressed;
    std::uint32_t attempt;

    DollFault lastFault;  // the fault applied to the last exchange, FaultNone if none
    bool memoryChanged;   // set when a persisted field changed; the edge clears it after saving
};

// Factory state: firmware version 0x10 on every node, all offsets 0, source 0,
// the posture all zero, no faults, no noise, seed 1. Then powerUpDoll.
void resetDoll(Doll& doll);

// As after switching on: active offsets are the stored ones, registers,
// pointers and the line are cleared, register 0 holds the firmware version.
void powerUpDoll(Doll& doll);

DollNode* findDollNode(Doll& doll, std::uint8_t address);

// Takes one byte from the line (as 7 bits). When it ends a request (LF),
// answers it: returns the reply's length (0 for no reply) with the reply in
// `reply`, which has room for dollReplyCapacity bytes. Otherwise returns 0.
std::size_t receiveDollByte(Doll& doll, unsigned char byte, char* reply);
