#include "tests/native/doll_port.h"

#include <cstring>

#include "device/node_operations.h"
#include "device/serial_port.h"
#include "platform/error_report.h"

DollPort dollPort;

void resetDollPort() {
    dollPort = DollPort{};
    resetDoll(dollPort.doll);
    powerUpDoll(dollPort.doll);
    sequenceNibble = 0;
}

std::string requestLine() {
    std::string line;
    for (const std::string& request : dollPort.requests) {
        if (!line.empty()) line += ' ';
        line += request.substr(0, request.find('\n'));
    }
    return line;
}

int openPort(std::uint32_t number) {
    dollPort.opened.push_back(number);
    if (dollPort.openFails) reportError("port cannot be opened");
    return !dollPort.openFails;
}

void closePort() {}

int purgePort() {
    dollPort.pending.clear();
    ++dollPort.purges;
    return 1;
}

int applyPortSettings() { return purgePort(); }

int writeAll(const char* text) {
    dollPort.requests.emplace_back(text);
    if (!dollPort.scriptedReplies.empty()) {
        dollPort.pending += dollPort.scriptedReplies.front();
        dollPort.scriptedReplies.pop_front();
        return 1;
    }
    char reply[dollReplyCapacity];
    for (const char* byte = text; *byte != '\0'; ++byte) {
        std::size_t length = receiveDollByte(dollPort.doll, static_cast<unsigned char>(*byte), reply);
        dollPort.pending.append(reply, length);
    }
    return 1;
}

// As a read cut short by the time-outs: what arrived is taken, and fails.
int readExact(char* buffer, unsigned count) {
    unsigned got = dollPort.pending.size() < count ? dollPort.pending.size() : count;
    std::memcpy(buffer, dollPort.pending.data(), got);
    dollPort.pending.erase(0, got);
    return got == count;
}
