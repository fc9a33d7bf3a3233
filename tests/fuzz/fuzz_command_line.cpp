// The command line: any argument text gives a part mask exactly when the C
// library's strtoull finds a hexadecimal number at its start, and that mask
// (0xFFFFFFFF past 32 bits); the settings switch is never also a mask.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char text[256];
    std::size_t length = size < sizeof text ? size : sizeof text - 1;
    std::memcpy(text, data, length);
    text[length] = '\0';

    std::uint32_t mask = 0x5A5A5A5A;
    int converted = parsePartMask(text, mask);
    char* end;
    errno = 0;
    unsigned long long number = std::strtoull(text, &end, 16);
    const char* sign = text + std::strspn(text, " \t\n\v\f\r");
    unsigned long long magnitude = *sign == '-' ? 0 - number : number;
    expect(converted == (end != text), "a mask is read exactly when a hexadecimal number starts the text");
    if (!converted)
        expect(mask == 0x5A5A5A5A, "no mask leaves the mask as it was");
    else if (errno == ERANGE || magnitude > 0xFFFFFFFFu)
        expect(mask == 0xFFFFFFFFu, "a mask beyond 32 bits is 0xFFFFFFFF");
    else
        expect(mask == static_cast<std::uint32_t>(number), "the mask is the number, negated modulo 2^32 after a minus");
    if (isSettingsSwitch(text)) expect(!converted, "the settings switch is no part mask");
    return 0;
}
