// The conversation with the doll: the bytes each exchange and node operation
// puts on the line, how replies are checked and retried, the sequence number
// of command bytes, and which outputs change when an operation fails.
#include "tests/common/worked_exchanges.h"
#include "tests/native/doll_port.h"

TEST(NodeProtocol, WorkedExchangesPutExactlyTheirRequestsOnTheLine) {
    std::vector<WorkedExchange> exchanges = readWorkedExchanges(GESTALYX_TEST_DATA "/worked_exchanges.txt");
    EXPECT_EQ(exchanges.size(), std::size(workedCalls));
    for (const WorkedExchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.call);
        resetDollPort();
        sequenceNibble = static_cast<std::uint8_t>(exchange.nibbleBefore);
        EXPECT_EQ(runWorkedCall(exchange.call), 1);
        std::string expected;
        for (const std::string& request : exchange.requests) expected += (expected.empty() ? "" : " ") + request;
        EXPECT_EQ(requestLine(), expected);
        EXPECT_EQ(sequenceNibble, exchange.nibbleAfter);
        EXPECT_EQ(dollPort.purges, 0);
    }
}

TEST(NodeProtocol, RepliesAreCheckedAndRetried) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/reply_checks.txt")) {
        SCOPED_TRACE(row.where);
        resetDollPort();
        dollPort.scripted = true;
        std::istringstream replies(row.fields[1]);
        for (std::string reply; std::getline(replies, reply, ' ');)
            if (!reply.empty()) dollPort.scriptedReplies.push_back(reply == "-" ? "" : reply);
        workedByte = 0x55;
        for (int i = 0; i < 3; ++i)
            workedReading[i] = static_cast<std::int8_t>(1 + i), workedOffsets[i] = static_cast<std::int16_t>(7 + i);
        EXPECT_EQ(runWorkedCall(row.fields[0]), std::stoi(row.fields[2]));
        EXPECT_EQ(dollPort.purges, std::stoi(row.fields[3]));
        EXPECT_EQ(requestLine(), row.fields[4]);
        EXPECT_EQ(sequenceNibble, std::stoi(row.fields[5]));
        char outputs[64];
        std::snprintf(outputs, sizeof outputs, "%02X %d %d %d %d %d %d", workedByte, workedReading[0], workedReading[1],
                      workedReading[2], workedOffsets[0], workedOffsets[1], workedOffsets[2]);
        EXPECT_EQ(outputs, row.fields[6]);
    }
}
