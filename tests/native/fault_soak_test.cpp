// The node operations against the doll's model with random faults at the
// reply's edge (silence, wrong echo, cut replies, garbage, LF for CR) and
// noise on the live readings. Every operation either succeeds with exactly
// the doll's values or fails with its outputs as the device link documents;
// an offset counts as set only when the doll acknowledged the command that
// set it; no exchange outlasts three attempts of its time-outs on the fake
// clock. GESTALYX_SOAK_EXCHANGES sets the length of the run at 5 %, 100,000
// exchanges unless it is set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "tests/native/doll_port.h"

namespace {

constexpr int unread = -99;  // what an output holds before the operation

// Outputs that an operation fills one by one: all new on success; on failure
// new up to the failed read and unread after it.
template <typename Value, typename DollValue>
bool deliveredInOrder(const Value* values, const DollValue* doll, int count, bool success) {
    int i = 0;
    while (i < count && values[i] == static_cast<Value>(doll[i])) ++i;
    while (!success && i < count && values[i] == unread) ++i;
    return i == count;
}

// Random node operations until `exchanges` exchanges are made, with faults
// in `percent` % of the attempts.
void soak(std::uint32_t percent, long exchanges) {
    resetDollPort();
    Doll& doll = dollPort.doll;
    doll.faultPercent = percent;
    doll.noise = 3;
    std::mt19937 random(20261206);
    for (DollNode& node : doll.nodes)
        for (std::int8_t& count : node.posture) count = static_cast<std::int8_t>(random());
    // What the doll acknowledged: the offsets set and stored, and the source.
    std::int16_t active[dollNodeCount][3] = {}, stored[dollNodeCount][3] = {};
    std::uint8_t source = 0;
    long operations = 0, successes = 0, failures = 0, violations = 0;
    auto check = [&](bool holds, const char* what) {
        if (holds) return;
        ++violations;
        ADD_FAILURE() << what << " at operation " << operations;
    };
    // Every operation makes one exchange at least; the count ends a run whose exchanges go uncounted.
    while (dollPort.exchanges < exchanges && operations < exchanges && violations < 10) {
        int n = static_cast<int>(random() % dollNodeCount), operation = static_cast<int>(random() % 10);
        DollNode& node = doll.nodes[n];
        Axis axis = static_cast<Axis>(random() % 3);
        const std::int16_t edges[] = {-1024, -1, 0, 1023};  // offsets at the ends of the 11-bit form, or any
        auto value = static_cast<std::int16_t>(random() % 2 ? edges[random() % 4] : random() % 2048 - 1024);
        std::uint8_t byte = static_cast<std::uint8_t>(unread);
        std::int8_t counts[6] = {unread, unread, unread, unread, unread, unread};
        std::int16_t offsets[3] = {unread, unread, unread};
        int result = 0;
        switch (operation) {
        case 0: result = clearCommand(node.address); break;
        case 1:
            result = readFirmwareVersion(node.address, &byte);
            check(byte == (result ? node.firmwareVersion : static_cast<std::uint8_t>(unread)), "firmware version");
            break;
        case 2:
            result = readLiveReading(node.address, counts);
            check(deliveredInOrder(counts, node.registers + 10, 3, result), "live reading");
            for (int i = 0; result && i < 3; ++i) {  // the first vector plus half the active offset, and noise
                int quiet = std::clamp(node.posture[i] + (active[n][i] >> 1), -128, 127);
                check(std::abs(counts[i] - quiet) <= doll.noise, "live reading within the noise");
            }
            break;
        case 3:
            result = readSensorVectors(node.address, counts);
            check(deliveredInOrder(counts, node.posture, 6, result), "sensor vectors");
            break;
        case 4:
        case 5: {
            result = (operation == 4 ? readActiveOffsets : readStoredOffsets)(node.address, offsets);
            const std::int16_t* expected = operation == 4 ? active[n] : stored[n];
            for (int i = 0; i < 3; ++i) check(offsets[i] == (result ? expected[i] : unread), "offsets read");
            break;
        }
        case 6:
            if ((result = setActiveOffset(node.address, axis, value))) active[n][axis] = value;
            break;
        case 7:
            if ((result = storeOffset(node.address, axis, value))) stored[n][axis] = value;
            break;
        case 8:
            if ((result = setSwitchSource(static_cast<std::uint8_t>(value & 1)))) source = value & 1;
            break;
        case 9:
            result = readSwitchSource(&byte);
            check(byte == (result ? source : static_cast<std::uint8_t>(unread)), "switch/LED source");
            break;
        }
        ++operations;
        ++(result ? successes : failures);
        for (int axis = 0; axis < 3; ++axis) {
            check(node.activeOffset[axis] == active[n][axis], "active offset as acknowledged");
            check(node.storedOffset[axis] == stored[n][axis], "stored offset as acknowledged");
        }
        check(doll.switchSource == source, "switch/LED source as acknowledged");
        // A command byte acknowledged carries the sequence number last advanced to.
        if (result && (operation == 2 || (operation >= 4 && operation <= 7)))
            check(node.registers[3] >> 4 == sequenceNibble, "sequence number");
        dollPort.requests.clear();
    }
    violations += dollPort.overlongExchanges;
    long attempts = dollPort.faults[FaultNone], faults = 0;
    for (DollFault kind : {FaultSilent, FaultWrongEcho, FaultCutShort, FaultLfForCr, FaultGarbage}) {
        EXPECT_GT(dollPort.faults[kind], 0) << "no fault of kind " << kind;
        faults += dollPort.faults[kind];
    }
    attempts += faults;
    std::printf("fault soak at %u %%: %ld exchanges (%ld attempts), %ld operations, %ld injected faults, "
                "%ld successes, %ld failures, %ld violations (%ld exchanges over their time-outs)\n",
                percent, dollPort.exchanges, attempts, operations, faults, successes, failures, violations,
                dollPort.overlongExchanges);
    EXPECT_EQ(violations, 0);
    EXPECT_NEAR(faults, attempts * percent / 100.0, attempts / 50.0 + 10) << "faults at the rate asked";
}

// At 5 %, the rate the device link is built for; then at 40 %, so that many
// operations fail and what they leave behind is checked as well.
TEST(FaultSoak, EveryOperationSucceedsExactlyOrFailsLeavingItsOutputs) {
    const char* length = std::getenv("GESTALYX_SOAK_EXCHANGES");
    const long exchanges = length != nullptr ? std::atol(length) : 100000;
    soak(5, exchanges);
    soak(40, exchanges / 5);
}

}  // namespace
