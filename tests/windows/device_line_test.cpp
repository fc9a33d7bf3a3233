// The device link on the real line: requests through the serial port to the
// virtual doll, checked byte for byte in the doll's log, and the time that
// silent and healthy exchanges take.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "device/serial_port.h"
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

std::uint8_t byteOut;
std::int8_t readingOut[6];
std::int16_t offsetsOut[3];

// The calls of the transcripts, by their text there.
const struct {
    const char* name;
    std::function<int()> call;
} workedCalls[] = {
    {"sendAddress node 30 register 3", [] { return sendAddress(0x30, 3); }},
    {"sendWrite node 30 value 11", [] { return sendWrite(0x30, 0x11); }},
    {"sendAddress node 31 register 10", [] { return sendAddress(0x31, 10); }},
    {"sendAddress node 39 register 10", [] { return sendAddress(0x39, 10); }},
    {"sendRead node 31", [] { return sendRead(0x31, &byteOut); }},
    {"setSwitchSource 1", [] { return setSwitchSource(1); }},
    {"readSwitchSource", [] { return readSwitchSource(&byteOut); }},
    {"readStatus", [] { return readStatus(&byteOut); }},
    {"identify", [] { return identify(); }},
    {"clearCommand node 20", [] { return clearCommand(0x20); }},
    {"readFirmwareVersion node 30", [] { return readFirmwareVersion(0x30, &byteOut); }},
    {"readActiveOffsets node 30", [] { return readActiveOffsets(0x30, offsetsOut); }},
    {"readStoredOffsets node 30", [] { return readStoredOffsets(0x30, offsetsOut); }},
    {"readLiveReading node 33", [] { return readLiveReading(0x33, readingOut); }},
    {"readSensorVectors node 38", [] { return readSensorVectors(0x38, readingOut); }},
    {"setActiveOffset node 30 X 1023", [] { return setActiveOffset(0x30, AxisX, 1023); }},
    {"setActiveOffset node 34 Y -1", [] { return setActiveOffset(0x34, AxisY, -1); }},
    {"storeOffset node 32 Z -3", [] { return storeOffset(0x32, AxisZ, -3); }},
    {"storeOffset node 20 X -1024", [] { return storeOffset(0x20, AxisX, -1024); }},
};

int runCall(const std::string& name) {
    for (const auto& worked : workedCalls)
        if (name == worked.name) return worked.call();
    ADD_FAILURE() << "no call " << name;
    return -1;
}

struct Transcript {
    std::string call;
    unsigned nibbleBefore = 0, nibbleAfter = 0;
    std::vector<std::string> requests;  // as the doll logs them, LF as \n
};

// "call | nibble before -> after | request request ..."
std::vector<Transcript> readTranscripts() {
    std::string path = std::string("Z:") + GESTALYX_TEST_DATA "/worked_exchanges.txt";
    std::ifstream file(path);
    EXPECT_TRUE(file.is_open()) << path;
    std::vector<Transcript> transcripts;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        Transcript transcript;
        std::size_t first = line.find('|');
        std::size_t second = line.find('|', first + 1);
        transcript.call = line.substr(0, line.find_last_not_of(' ', first - 1) + 1);
        std::istringstream nibbles(line.substr(first + 1, second - first - 1));
        std::string arrow;
        nibbles >> transcript.nibbleBefore >> arrow >> transcript.nibbleAfter;
        std::istringstream requests(line.substr(second + 1));
        for (std::string request; requests >> request;) transcript.requests.push_back(request + "\\n");
        transcripts.push_back(transcript);
    }
    EXPECT_FALSE(transcripts.empty());
    return transcripts;
}

std::vector<std::string> requestsOf(const std::vector<LoggedExchange>& exchanges) {
    std::vector<std::string> requests;
    for (const LoggedExchange& exchange : exchanges) requests.push_back(exchange.request);
    return requests;
}

TEST_F(DeviceLine, WorkedFramesAndSequencesGoOnTheLineByteForByte) {
    for (const Transcript& transcript : readTranscripts()) {
        SCOPED_TRACE(transcript.call);
        sequenceNibble = static_cast<std::uint8_t>(transcript.nibbleBefore);
        std::size_t mark = logMark();
        EXPECT_EQ(runCall(transcript.call), 1);
        EXPECT_EQ(sequenceNibble, transcript.nibbleAfter);
        EXPECT_EQ(requestsOf(exchangesSince(mark, transcript.requests.size())), transcript.requests);
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
