// The replies of the seven exchanges, with any bytes from the line, short or over-long: each exchange makes
// one to three attempts with a purge before the second and third, takes only a reply of its frame, and
// leaves its output as it was when it fails.
#include "device/node_protocol.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzLine = {data, data + size, nullptr, {}, {}, 0, 0};
    for (int operation; (operation = takeByte()) >= 0;) {
        const int kind = operation % 7;
        const std::uint8_t argument = static_cast<std::uint8_t>(takeByte());
        std::uint8_t out = 0x5A;
        fuzzLine.writes = fuzzLine.purges = 0;
        // In the order of the reply letters "AWRCUS".
        const int done = kind == 0   ? sendAddress(argument, 3)
                         : kind == 1 ? sendWrite(argument, 0x11)
                         : kind == 2 ? sendRead(argument, &out)
                         : kind == 3 ? setSwitchSource(argument)
                         : kind == 4 ? readSwitchSource(&out)
                         : kind == 5 ? readStatus(&out)
                                     : identify();
        expect(fuzzLine.writes >= 1 && fuzzLine.writes <= 3 && fuzzLine.purges == fuzzLine.writes - 1,
               "one to three attempts, a purge before the second and third only");
        expect(done || (fuzzLine.writes == 3 && out == 0x5A), "a failed exchange tried three times and stored nothing");
        const std::string& reply = fuzzLine.lastRead;
        expect(!done || kind == 6 || (reply[0] == "AWRCUS"[kind] && reply[kind == 2 ? 5 : 3] == '\r'),
               "a reply taken has its letter and CR after its numbers");
    }
    return 0;
}
