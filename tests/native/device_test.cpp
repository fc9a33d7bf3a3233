// The conversation with the doll: the bytes each exchange and node operation
// puts on the line, how replies are checked and retried, the sequence number
// of command bytes, and which outputs change when an operation fails.
#include <gtest/gtest.h>

#include <functional>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "tests/common/worked_exchanges.h"
#include "tests/native/doll_port.h"

namespace {

std::uint8_t byteOut;
std::int8_t readingOut[6];
std::int16_t offsetsOut[3];

std::string joined(const std::vector<std::string>& requests) {
    std::string line;
    for (const std::string& request : requests) line += (line.empty() ? "" : " ") + request;
    return line;
}

TEST(NodeProtocol, WorkedExchangesPutExactlyTheirRequestsOnTheLine) {
    std::vector<WorkedExchange> exchanges = readWorkedExchanges(GESTALYX_TEST_DATA "/worked_exchanges.txt");
    EXPECT_EQ(exchanges.size(), std::size(workedCalls));
    for (const WorkedExchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.call);
        resetDollPort();
        sequenceNibble = static_cast<std::uint8_t>(exchange.nibbleBefore);
        EXPECT_EQ(runWorkedCall(exchange.call), 1);
        EXPECT_EQ(requestLine(), joined(exchange.requests));
        EXPECT_EQ(sequenceNibble, exchange.nibbleAfter);
        EXPECT_EQ(dollPort.purges, 0);
    }
}

TEST(NodeProtocol, RepliesAreCheckedAndRetried) {
    using Replies = std::vector<std::string>;
    const Replies wrongEcho(3, "A31\r\n");
    const struct {
        const char* what;
        std::function<int()> call;
        Replies replies;
        int result, purges, value;  // value -1: no output
    } cases[] = {
        {"upper-case digits", [] { return sendRead(0x30, &byteOut); }, {"R303F\r\n"}, 1, 0, 0x3F},
        {"lower-case digits", [] { return sendRead(0x30, &byteOut); }, {"R303f\r\n"}, 1, 0, 0x3F},
        {"the read value, not the echo", [] { return sendRead(0x31, &byteOut); }, {"R3180\r\n"}, 1, 0, 0x80},
        {"last byte not examined", [] { return sendAddress(0x30, 3); }, {"A30\r?"}, 1, 0, -1},
        {"another node answers", [] { return sendAddress(0x30, 3); }, wrongEcho, 0, 2, -1},
        {"wrong letter", [] { return sendAddress(0x30, 3); }, Replies(3, "W30\r\n"), 0, 2, -1},
        {"LF in place of CR", [] { return sendWrite(0x30, 0); }, Replies(3, "W30\n\n"), 0, 2, -1},
        {"short reply", [] { return sendWrite(0x30, 0); }, Replies(3, "W30\r"), 0, 2, -1},
        {"garbage", [] { return sendRead(0x30, &byteOut); }, Replies(3, "R3 +x\r\n"), 0, 2, 0x55},
        {"signed digits", [] { return readStatus(&byteOut); }, Replies(3, "S-1\r\n"), 0, 2, 0x55},
        {"silence", [] { return sendRead(0x30, &byteOut); }, Replies(3, ""), 0, 2, 0x55},
        {"right on the third attempt", [] { return sendAddress(0x30, 3); }, {"A31\r\n", "", "A30\r\n"}, 1, 2, -1},
        {"switch source echoed", [] { return setSwitchSource(1); }, {"C01\r\n"}, 1, 0, -1},
        {"switch source not echoed", [] { return setSwitchSource(1); }, Replies(3, "C00\r\n"), 0, 2, -1},
        {"any status", [] { return readStatus(&byteOut); }, {"SfE\r\n"}, 1, 0, 0xFE},
        {"any switch source", [] { return readSwitchSource(&byteOut); }, {"U02\r\n"}, 1, 0, 0x02},
        {"identification", [] { return identify(); }, {"Gestalyx\r\n"}, 1, 0, -1},
        {"identification without its LF", [] { return identify(); }, Replies(3, "Gestalyx\r\r"), 0, 2, -1},
        {"identification in another case", [] { return identify(); }, Replies(3, "GESTALYX\r\n"), 0, 2, -1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        resetDollPort();
        dollPort.scriptedReplies.assign(row.replies.begin(), row.replies.end());
        byteOut = 0x55;
        EXPECT_EQ(row.call(), row.result);
        EXPECT_EQ(dollPort.purges, row.purges);
        EXPECT_EQ(dollPort.requests.size(), row.replies.size());
        if (row.value >= 0) {
            EXPECT_EQ(byteOut, row.value);
        }
    }
}

TEST(NodeOperations, SequenceNumberAdvancesOnceTheCommandRegisterIsAddressed) {
    resetDollPort();
    for (int i = 0; i < 16; ++i) ASSERT_EQ(readLiveReading(0x30, readingOut), 1);
    EXPECT_EQ(sequenceNibble, 0) << "sixteen commands bring the number round";

    // A silent node: the first exchange's three attempts, and no advance.
    resetDollPort();
    findDollNode(dollPort.doll, 0x33)->fault.kind = FaultSilent;
    EXPECT_EQ(readLiveReading(0x33, readingOut), 0);
    EXPECT_EQ(requestLine(), "a3303 a3303 a3303");
    EXPECT_EQ(sequenceNibble, 0);

    // The command write fails: the number stays advanced, and every retry
    // carries the same command byte.
    resetDollPort();
    dollPort.scriptedReplies = {"A30\r\n", "", "", ""};
    EXPECT_EQ(readActiveOffsets(0x30, offsetsOut), 0);
    EXPECT_EQ(requestLine(), "a3003 w3014 w3014 w3014");
    EXPECT_EQ(sequenceNibble, 1);
}

TEST(NodeOperations, OffsetsTravelInElevenBits) {
    // Set and store through the doll, then read back as the node reports them.
    for (std::int16_t value : {-1024, -1, 0, 1023}) {
        SCOPED_TRACE(value);
        resetDollPort();
        std::int16_t active[3], stored[3];
        for (Axis axis : {AxisX, AxisY, AxisZ}) {
            ASSERT_EQ(setActiveOffset(0x31, axis, value), 1);
            ASSERT_EQ(storeOffset(0x31, axis, static_cast<std::int16_t>(-1 - value)), 1);
        }
        ASSERT_EQ(readActiveOffsets(0x31, active), 1);
        ASSERT_EQ(readStoredOffsets(0x31, stored), 1);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(active[axis], value);
            EXPECT_EQ(stored[axis], -1 - value);
        }
    }
    // Replies as a node might give them: the high register counts only with
    // its bits 0-2.
    const struct {
        const char* bytes;
        std::int16_t x, y, z;
    } replies[] = {
        {"FD0700 04FF03", -3, -1024, 1023},
        {"FF0701 F800FC", -1, 1, -1024},
    };
    for (const auto& row : replies) {
        SCOPED_TRACE(row.bytes);
        resetDollPort();
        dollPort.scriptedReplies = {"A30\r\n", "W30\r\n", "A30\r\n"};
        std::string bytes = row.bytes;
        bytes.erase(bytes.find(' '), 1);
        for (int i = 0; i < 6; ++i) dollPort.scriptedReplies.push_back("R30" + bytes.substr(2 * i, 2) + "\r\n");
        ASSERT_EQ(readActiveOffsets(0x30, offsetsOut), 1);
        EXPECT_EQ(offsetsOut[0], row.x);
        EXPECT_EQ(offsetsOut[1], row.y);
        EXPECT_EQ(offsetsOut[2], row.z);
    }
}

TEST(NodeOperations, FailuresLeaveTheOutputsTheyDidNotReach) {
    const std::string read = "R30C0\r\n";  // -64: one g towards the negative end
    resetDollPort();
    dollPort.scriptedReplies = {"A30\r\n", "W30\r\n", "A30\r\n", read, read, read, "", "", ""};
    std::int16_t offsets[3] = {7, 8, 9};
    EXPECT_EQ(readActiveOffsets(0x30, offsets), 0);
    EXPECT_EQ(offsets[0] * 100 + offsets[1] * 10 + offsets[2], 789) << "all three kept";

    resetDollPort();
    dollPort.scriptedReplies = {"A30\r\n", "W30\r\n", "A30\r\n", read, "", "", ""};
    std::int8_t reading[3] = {1, 2, 3};
    EXPECT_EQ(readLiveReading(0x30, reading), 0);
    EXPECT_EQ(reading[0], -64);
    EXPECT_EQ(reading[1], 2);
    EXPECT_EQ(reading[2], 3);

    resetDollPort();
    dollPort.scriptedReplies = {"A30\r\n", "", "", ""};
    std::uint8_t version = 0x42;
    EXPECT_EQ(readFirmwareVersion(0x30, &version), 0);
    EXPECT_EQ(version, 0x42);
}

}  // namespace
