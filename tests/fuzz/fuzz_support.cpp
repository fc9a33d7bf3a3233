#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "device/serial_port.h"

FuzzLine fuzzLine;

int takeByte() { return fuzzLine.next < fuzzLine.end ? *fuzzLine.next++ : -1; }

void expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

int purgePort() {
    ++fuzzLine.purges;
    fuzzLine.pending.clear();
    return 1;
}

int writeAll(const char* text) {
    ++fuzzLine.writes;
    const int control = takeByte();
    const bool replaced = fuzzLine.doll == nullptr || control >= 0xC0;
    char reply[dollReplyCapacity];
    for (; fuzzLine.doll != nullptr && *text != '\0'; ++text) {
        const std::size_t length = receiveDollByte(*fuzzLine.doll, *text, reply);
        if (!replaced) fuzzLine.pending.append(reply, length);
    }
    for (int count = replaced ? control & 31 : 0, byte; count > 0 && (byte = takeByte()) >= 0; --count)
        fuzzLine.pending += static_cast<char>(byte);
    return 1;
}

// As a read cut short by the time-outs: what arrived is taken, and fails.
int readExact(char* buffer, unsigned count) {
    fuzzLine.lastRead.assign(buffer, fuzzLine.pending.copy(buffer, count));
    fuzzLine.pending.erase(0, count);
    return fuzzLine.lastRead.size() == count;
}
