// The node operations against a doll whose replies the input may replace with
// random bytes: a failed operation keeps the outputs it promises to keep.
#include "device/node_operations.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Doll doll;
    resetDoll(doll);
    fuzzLine = {data, data + size, &doll, {}, {}, 0, 0};
    for (int operation, selector; (operation = takeByte() % 8) >= 0 && (selector = takeByte()) >= 0;) {
        // Eleven nodes and one address no node answers to.
        const std::uint8_t node = selector % 12 < dollNodeCount ? dollNodeAddresses[selector % 12] : 0x21;
        const Axis axis = static_cast<Axis>(selector / 12 % 3);
        const std::int16_t value = static_cast<std::int16_t>((takeByte() & 0xFF) * 8 - 1024);
        std::uint8_t version = 0x5A;
        std::int8_t bytes[6] = {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A};
        std::int16_t offsets[3] = {0x5A5A, 0x5A5A, 0x5A5A};
        const int done = operation == 0   ? clearCommand(node)
                         : operation == 1 ? readFirmwareVersion(node, &version)
                         : operation == 2 ? readLiveReading(node, bytes)
                         : operation == 3 ? readSensorVectors(node, bytes)
                         : operation == 4 ? readActiveOffsets(node, offsets)
                         : operation == 5 ? readStoredOffsets(node, offsets)
                         : operation == 6 ? setActiveOffset(node, axis, value)
                                          : storeOffset(node, axis, value);
        // Reading stops at the first failure: the last value of a reading or of the vectors is then not new.
        expect(done || (version == 0x5A && bytes[operation == 2 ? 2 : 5] == 0x5A && offsets[0] == 0x5A5A &&
                        offsets[1] == 0x5A5A && offsets[2] == 0x5A5A), "a failed operation keeps its outputs");
    }
    return 0;
}
