// The device link on the real line: requests through the serial port to the
// virtual doll, checked byte for byte in the doll's log, and the time that
// silent and healthy exchanges take.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "device/serial_port.h"
#include "tests/common/worked_exchanges.h"
#include "tests/windows/device_doll.h"

namespace {

class DeviceLine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dollPort(), 0u) << "run through tools/with-virtual-doll";
        ASSERT_EQ(openPort(dollPort()), 1);
        controlDoll("--clear-faults\n");
    }
    void TearDown() override { closePort(); }
};

std::vector<std::string> requestsOf(const std::vector<LoggedExchange>& exchanges) {
    std::vector<std::string> requests;
    for (const LoggedExchange& exchange : exchanges) requests.push_back(exchange.request);
    return requests;
}

TEST_F(DeviceLine, WorkedFramesAndSequencesGoOnTheLineByteForByte) {
    std::vector<WorkedExchange> exchanges =
        readWorkedExchanges(std::string("Z:") + GESTALYX_TEST_DATA "/worked_exchanges.txt");
    EXPECT_EQ(exchanges.size(), std::size(workedCalls));
    for (const WorkedExchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.call);
        sequenceNibble = static_cast<std::uint8_t>(exchange.nibbleBefore);
        std::size_t mark = logMark();
        EXPECT_EQ(runWorkedCall(exchange.call), 1);
        EXPECT_EQ(sequenceNibble, exchange.nibbleAfter);
        std::vector<std::string> expected;
        for (const std::string& request : exchange.requests) expected.push_back(request + "\\n");
        EXPECT_EQ(requestsOf(exchangesSince(mark, expected.size())), expected);
    }
}

long long millisecondsOf(const std::function<int()>& call, int* result) {
    auto start = std::chrono::steady_clock::now();
    *result = call();
    auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

// A silent attempt waits out the read time-out: 300 ms for a 5-byte reply,
// 400 ms for 7 bytes, 550 ms for 10. A node operation ends with its first
// failed exchange.
TEST_F(DeviceLine, SilentAttemptsCostTheirReadTimeOuts) {
    struct Case {
        const char* name;
        const char* control;
        std::function<int()> call;
        const char* request;
        int attempts;
        long long expectedMs;
        int result;
    };
    const Case cases[] = {
        {"sendAddress, node silent", "--fault silent@30", [] { return sendAddress(0x30, 3); }, "a3003\\n", 3, 900, 0},
        {"sendRead, node silent", "--fault silent@31", [] { std::uint8_t v; return sendRead(0x31, &v); }, "r31\\n", 3,
         1200, 0},
        {"identify, doll silent", "--fault silent@doll", [] { return identify(); }, "v\\n", 3, 1650, 0},
        {"readActiveOffsets, node silent", "--fault silent@32",
         [] { std::int16_t v[3]; return readActiveOffsets(0x32, v); }, "a3203\\n", 3, 900, 0},
        {"storeOffset, node silent", "--fault silent@33", [] { return storeOffset(0x33, AxisY, 5); }, "a3306\\n", 3,
         900, 0},
        {"sendAddress answered at the third attempt", "--correct-from 3@34", [] { return sendAddress(0x34, 3); },
         "a3403\\n", 3, 600, 1},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        controlDoll(std::string("--clear-faults\n") + row.control + "\n");
        std::size_t mark = logMark();
        int result = -1;
        long long elapsed = millisecondsOf(row.call, &result);
        EXPECT_EQ(result, row.result);
        EXPECT_GE(elapsed, row.expectedMs * 9 / 10);
        EXPECT_LE(elapsed, row.expectedMs * 11 / 10 + 100);
        EXPECT_EQ(requestsOf(exchangesSince(mark, row.attempts)), std::vector<std::string>(row.attempts, row.request));
    }
}

TEST_F(DeviceLine, HealthyExchangeCostsFarLessThanATimeOut) {
    constexpr int exchanges = 10;
    int result = -1;
    long long elapsed = millisecondsOf([] {
        int all = 1;
        for (int i = 0; i < exchanges; ++i) all &= sendAddress(0x30, 3);
        return all;
    }, &result);
    EXPECT_EQ(result, 1);
    // A third of the 300 ms time-out of a 5-byte reply, on average.
    EXPECT_LT(elapsed, exchanges * 100);
}

}  // namespace
