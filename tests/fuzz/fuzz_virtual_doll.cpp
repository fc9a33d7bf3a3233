// The virtual doll: any bytes on the line give replies that fit the reply
// buffer and end in CR LF unless faulted on purpose; a memory file ('m' then
// its text) or posture file ('p' then its text) that is not good changes nothing.
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "tests/fuzz/fuzz_support.h"
#include "tools/virtual-doll/doll_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Doll doll, before;
    if (size < 3) return 0;
    resetDoll(doll);
    if (data[0] != 'm' && data[0] != 'p') {
        // Two bytes of settings: the rate of random faults and the noise, a fault plan for every exchange.
        doll.faultPercent = data[1] % 101;
        doll.noise = data[1] >> 1;
        doll.fault = {static_cast<DollFault>(data[2] % 7), static_cast<std::uint32_t>(data[2] >> 5)};
        for (std::size_t i = 3; i < size; ++i) {
            char reply[dollReplyCapacity];
            std::size_t length = receiveDollByte(doll, data[i], reply);
            expect(length <= sizeof reply, "a reply fits its buffer");
            if (length > 0 && doll.lastFault == FaultNone)
                expect(reply[length - 2] == '\r' && reply[length - 1] == '\n', "a reply ends in CR LF");
        }
        return 0;
    }
    static const int file = memfd_create("doll-file", 0);
    expect(ftruncate(file, 0) == 0 && pwrite(file, data + 1, size - 1, 0) == static_cast<ssize_t>(size - 1),
           "the file is written");
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", file);
    std::memcpy(&before, &doll, sizeof doll);
    if (!(data[0] == 'm' ? loadDollMemory(doll, path) : loadDollPosture(doll, path)))
        expect(std::memcmp(&before, &doll, sizeof doll) == 0, "a file that is not good changes nothing");
    return 0;
}
