// The replies of the seven exchanges, with any bytes from the line, short or
// over-long: each exchange makes one to three attempts with a purge before the
// second and third, succeeds only on a reply of its frame, and leaves its
// output as it was when it fails.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "device/node_protocol.h"
#include "tests/fuzz/fuzz_support.h"

// Two hexadecimal digits as a number, or -1.
static int numberAt(const char* two) {
    const char text[3] = {two[0], two[1], '\0'};
    char* end;
    long value = std::strtol(text, &end, 16);
    return std::isxdigit(static_cast<unsigned char>(text[0])) && end == text + 2 ? static_cast<int>(value) : -1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startInput(data, size);
    fuzzLine = {nullptr, {}, {}, 0, 0, 0};
    for (int operation; (operation = takeByte()) >= 0;) {
        const int kind = operation % 7;
        const std::uint8_t argument = static_cast<std::uint8_t>(takeByte());
        std::uint8_t out = 0x5A;
        fuzzLine.writes = fuzzLine.purges = 0;
        // The order of the reply letters "AWRCUS".
        const int done = kind == 0   ? sendAddress(argument, 3)
                         : kind == 1 ? sendWrite(argument, 0x11)
                         : kind == 2 ? sendRead(argument, &out)
                         : kind == 3 ? setSwitchSource(argument)
                         : kind == 4 ? readSwitchSource(&out)
                         : kind == 5 ? readStatus(&out)
                                     : identify();
        expect(fuzzLine.writes >= 1 && fuzzLine.writes <= 3 && fuzzLine.purges == fuzzLine.writes - 1,
               "one to three attempts, a purge before the second and third only");
        const char* reply = fuzzLine.lastRead;
        if (!done) {
            expect(fuzzLine.writes == 3 && out == 0x5A, "a failed exchange made three attempts and stored nothing");
        } else if (kind == 6) {
            expect(std::memcmp(reply, "Gestalyx\r\n", 10) == 0, "identify accepts only the identification");
        } else {
            expect(reply[0] == "AWRCUS"[kind] && reply[kind == 2 ? 5 : 3] == '\r',
                   "a reply is accepted only with its letter and CR after its numbers");
            expect(numberAt(reply + 1) == (kind < 4 ? argument : out),
                   "the first number echoes the request, or is the number delivered");
            if (kind == 2) expect(numberAt(reply + 3) == out, "a read delivers the second number");
        }
    }
    return 0;
}
