// The worked exchanges of tests/data/worked_exchanges.txt, shared by the native tests (against the doll's
// model) and the Wine tests (through the real serial port): each case's call, and the request lines it sends.
#pragma once

#include <cstdio>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "tests/common/data_table.h"

struct WorkedExchange {
    std::string call;
    unsigned nibbleBefore = 0, nibbleAfter = 0;
    std::vector<std::string> requests;  // without their LF
};

inline std::uint8_t workedByte;
inline std::int8_t workedReading[6];
inline std::int16_t workedOffsets[3];

inline const struct { const char* name; int (*call)(); } workedCalls[] = {
    {"sendAddress node 30 register 3", [] { return sendAddress(0x30, 3); }},
    {"sendWrite node 30 value 11", [] { return sendWrite(0x30, 0x11); }},
    {"sendAddress node 31 register 10", [] { return sendAddress(0x31, 10); }},
    {"sendAddress node 39 register 10", [] { return sendAddress(0x39, 10); }},
    {"sendRead node 31", [] { return sendRead(0x31, &workedByte); }},
    {"setSwitchSource 1", [] { return setSwitchSource(1); }},
    {"readSwitchSource", [] { return readSwitchSource(&workedByte); }},
    {"readStatus", [] { return readStatus(&workedByte); }},
    {"identify", [] { return identify(); }},
    {"clearCommand node 20", [] { return clearCommand(0x20); }},
    {"readFirmwareVersion node 30", [] { return readFirmwareVersion(0x30, &workedByte); }},
    {"readActiveOffsets node 30", [] { return readActiveOffsets(0x30, workedOffsets); }},
    {"readStoredOffsets node 30", [] { return readStoredOffsets(0x30, workedOffsets); }},
    {"readLiveReading node 33", [] { return readLiveReading(0x33, workedReading); }},
    {"readSensorVectors node 38", [] { return readSensorVectors(0x38, workedReading); }},
    {"setActiveOffset node 30 X 1023", [] { return setActiveOffset(0x30, AxisX, 1023); }},
    {"setActiveOffset node 34 Y -1", [] { return setActiveOffset(0x34, AxisY, -1); }},
    {"storeOffset node 32 Z -3", [] { return storeOffset(0x32, AxisZ, -3); }},
    {"storeOffset node 20 X -1024", [] { return storeOffset(0x20, AxisX, -1024); }},
};

// Runs the case's call; -1 for a name the table does not know.
inline int runWorkedCall(const std::string& name) {
    for (const auto& worked : workedCalls)
        if (name == worked.name) return worked.call();
    return -1;
}

// "call | nibble before -> after | request request ..."; empty, failing the test, when the file cannot be read.
inline std::vector<WorkedExchange> readWorkedExchanges(const std::string& path) {
    std::vector<WorkedExchange> exchanges;
    for (const DataRow& row : readDataTable(path)) {
        WorkedExchange& exchange = exchanges.emplace_back(WorkedExchange{row.fields[0], 0, 0, {}});
        std::sscanf(row.fields[1].c_str(), "%u -> %u", &exchange.nibbleBefore, &exchange.nibbleAfter);
        std::istringstream requests(row.fields[2]);
        for (std::string request; requests >> request;) exchange.requests.push_back(request);
    }
    return exchanges;
}
