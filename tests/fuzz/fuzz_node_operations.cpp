// The node operations against a doll whose replies the input may replace with
// random bytes: each makes at most three attempts at each of its fixed number
// of exchanges, and a failed one keeps the outputs it promises to keep.
#include "device/node_operations.h"
#include "tests/fuzz/fuzz_support.h"

// Exchanges per operation, counted in their sequences of requests, in the order of the switch below.
constexpr int exchangeCounts[] = {2, 2, 6, 7, 9, 9, 5, 5};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Doll doll;
    resetDoll(doll);
    startInput(data, size);
    fuzzLine = {&doll, {}, {}, 0, 0, 0};
    for (int operation, selector; (operation = takeByte()) >= 0 && (selector = takeByte()) >= 0;) {
        // Eleven nodes and one address no node answers to.
        const std::uint8_t node = selector % 12 < dollNodeCount ? dollNodeAddresses[selector % 12] : 0x21;
        const Axis axis = static_cast<Axis>(selector / 12 % 3);
        const std::int16_t value = static_cast<std::int16_t>((takeByte() & 0xFF) * 8 - 1024);
        std::uint8_t version = 0x5A;
        std::int8_t bytes[6] = {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A};
        std::int16_t offsets[3] = {0x5A5A, 0x5A5A, 0x5A5A};
        fuzzLine.writes = 0;
        int done = 0;
        switch (operation % 8) {
        case 0: done = clearCommand(node); break;
        case 1: done = readFirmwareVersion(node, &version); break;
        case 2: done = readLiveReading(node, bytes); break;
        case 3: done = readSensorVectors(node, bytes); break;
        case 4: done = readActiveOffsets(node, offsets); break;
        case 5: done = readStoredOffsets(node, offsets); break;
        case 6: done = setActiveOffset(node, axis, value); break;
        case 7: done = storeOffset(node, axis, value); break;
        }
        const int exchanges = exchangeCounts[operation % 8];
        expect(fuzzLine.writes <= 3 * exchanges && (!done || fuzzLine.writes >= exchanges),
               "every exchange of the operation, at most three attempts each");
        if (done) continue;
        expect(version == 0x5A && offsets[0] == 0x5A5A && offsets[2] == 0x5A5A,
               "a failed read keeps the version and all three offsets");
        expect(bytes[operation % 8 == 2 ? 2 : 5] == 0x5A, "a failed read keeps the values from the failed one on");
    }
    return 0;
}
