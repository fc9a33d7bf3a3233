// The settings file: any text, read by the private-profile rules, is either
// taken whole, with a port from 1 to 256 or "auto" and a product name of 1 to
// 63 bytes, or refused with exactly one message.
#include <cstring>

#include "app/settings_file.h"
#include "model/body_parts.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    settingsText = reinterpret_cast<const char*>(data);
    settingsTextSize = size;
    errorBoxes = 0;
    portNumber = 0x5A5A;
    productDesc[0] = '\0';
    resetBodyPartTable();

    if (loadSettings()) {
        expect(errorBoxes == 0, "a file taken whole shows no message");
        expect((portNumber >= 1 && portNumber <= 256) || (portNumber == 0 && productDesc[0] != '\0'),
               "the port is 1 to 256, or auto with a product name");
        expect(std::strlen(productDesc) <= 63, "the product name has at most 63 bytes");
    } else {
        expect(errorBoxes == 1, "a refused file shows exactly one message");
    }
    return 0;
}
