#include "tests/native/doll_port.h"

#include <cstring>

#include "device/node_operations.h"
#include "device/serial_port.h"

DollPort dollPort;

constexpr long characterTime = 10;  // bit times

// The read time-out of `count` bytes, 50 ms a byte and 50 ms, at 38.4 bit times to the millisecond.
static long readTimeOut(unsigned count) { return (50L * count + 50) * 384 / 10; }

void resetDollPort() {
    dollPort = DollPort{};
    resetDoll(dollPort.doll);
    sequenceNibble = 0;
}

std::string requestLine() {
    std::string line;
    for (const std::string& request : dollPort.requests)
        line += (line.empty() ? "" : " ") + request.substr(0, request.find('\n'));
    return line;
}

int purgePort() {
    dollPort.pending.clear();
    ++dollPort.purges;
    dollPort.retrying = true;
    return 1;
}

int writeAll(const char* text) {
    // After a purge, an address request may set the pointer again before the read or write is repeated.
    bool continues = dollPort.retrying || (dollPort.readdressing && dollPort.exchangeRequest == text);
    if (!continues) {
        ++dollPort.exchanges;
        dollPort.exchangeStart = dollPort.clock;
        dollPort.overlong = false;
        dollPort.exchangeRequest = text;
        dollPort.readdressable = text[0] == 'r' || text[0] == 'w';
    }
    dollPort.readdressing = dollPort.retrying && dollPort.readdressable && text[0] == 'a';
    dollPort.retrying = false;
    long length = static_cast<long>(std::strlen(text));
    if (!dollPort.readdressing) dollPort.requestTime = length * characterTime;
    dollPort.clock += length * characterTime;
    dollPort.requests.emplace_back(text);
    if (dollPort.requests.size() > dollPort.answerLimit) return 1;
    if (dollPort.scripted) {
        if (dollPort.scriptedReplies.empty()) return 1;
        dollPort.pending += dollPort.scriptedReplies.front();
        dollPort.scriptedReplies.pop_front();
        return 1;
    }
    char reply[dollReplyCapacity];
    for (long i = 0; i < length; ++i)
        dollPort.pending.append(reply, receiveDollByte(dollPort.doll, static_cast<unsigned char>(text[i]), reply));
    ++dollPort.faults[dollPort.doll.lastFault];
    return 1;
}

// As a read cut short by the time-outs: what arrived is taken, and fails.
// It costs its bytes' wire time, or when cut short its whole time-out.
int readExact(char* buffer, unsigned count) {
    unsigned got = dollPort.pending.size() < count ? dollPort.pending.size() : count;
    std::memcpy(buffer, dollPort.pending.data(), got);
    dollPort.pending.erase(0, got);
    dollPort.clock += got == count ? count * characterTime : readTimeOut(count);
    // Three attempts, each its write and a read that waits out its time-out, the second and
    // third of a read or write each after an address exchange that may wait out its own.
    long limit = 3 * (dollPort.requestTime + readTimeOut(count)) +
                 (dollPort.readdressable ? 2 * (6 * characterTime + readTimeOut(5)) : 0);
    if (!dollPort.readdressing && !dollPort.overlong && dollPort.clock - dollPort.exchangeStart > limit) {
        dollPort.overlong = true;
        ++dollPort.overlongExchanges;
    }
    return got == count;
}
