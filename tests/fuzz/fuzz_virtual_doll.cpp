// The virtual doll: any bytes on the line give replies that end in CR LF
// unless faulted on purpose; a memory file ('m' then its text), posture file
// ('p') or motion file ('o') that is not good changes nothing, and a motion
// that is good gives each key's counts exactly at its time.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>

#include "tests/fuzz/fuzz_support.h"
#include "tools/virtual-doll/doll_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Doll doll, before;
    static DollMotion motion, motionBefore;
    static const std::string path = "/proc/self/fd/" + std::to_string(memfd_create("doll-file", 0));
    if (size < 3) return 0;
    resetDoll(doll);
    if (data[0] == 'm' || data[0] == 'p' || data[0] == 'o') {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        expect(std::fwrite(data + 1, 1, size - 1, file) == size - 1 && std::fclose(file) == 0, "the file is written");
        if (data[0] == 'o') {
            std::memcpy(&motionBefore, &motion, sizeof motion);
            const int good = loadDollMotion(motion, path.c_str());
            expect(good || std::memcmp(&motionBefore, &motion, sizeof motion) == 0,
                   "a file that is not good changes nothing");
            // Halfway to each key, then at its time.
            for (int key = 0; key < motion.keyCount; ++key) {
                const DollMotionKey& at = motion.keys[key];
                poseDollAt(doll, motion, key > 0 ? (motion.keys[key - 1].seconds + at.seconds) / 2 : -1.0);
                poseDollAt(doll, motion, at.seconds);
                for (int i = 0; i < dollNodeCount; ++i)
                    expect(std::memcmp(doll.nodes[i].posture, at.posture[i], 6) == 0, "a key's counts at its time");
            }
            return 0;
        }
        std::memcpy(&before, &doll, sizeof doll);
        const int good = data[0] == 'm' ? loadDollMemory(doll, path.c_str()) : loadDollPosture(doll, path.c_str());
        expect(good || std::memcmp(&before, &doll, sizeof doll) == 0, "a file that is not good changes nothing");
        return 0;
    }
    // Two bytes of settings: the rates of random faults and lost replies and the noise, a fault plan for
    // every exchange.
    doll.faultPercent = data[1] % 101;
    doll.lostPercent = data[1] % 7;
    doll.noise = data[1] >> 1;
    doll.fault = {static_cast<DollFault>(data[2] % dollFaultKinds), static_cast<std::uint32_t>(data[2] >> 5)};
    char reply[dollReplyCapacity];
    for (std::size_t i = 3, length; i < size; ++i)
        if ((length = receiveDollByte(doll, data[i], reply)) > 0 && doll.lastFault == FaultNone)
            expect(reply[length - 2] == '\r' && reply[length - 1] == '\n', "a reply ends in CR LF");
    return 0;
}
