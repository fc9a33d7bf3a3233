// The command line: any argument text gives a part mask exactly when the C
// library's strtoull finds a hexadecimal number at its start, and that mask
// (0xFFFFFFFF past 32 bits).
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string argument(reinterpret_cast<const char*>(data), size);
    const char* text = argument.c_str();
    std::uint32_t mask = 0x5A5A5A5A;
    const int converted = parsePartMask(text, mask);
    char* end;
    errno = 0;
    const unsigned long long number = std::strtoull(text, &end, 16);
    const bool minus = text[std::strspn(text, " \t\n\v\f\r")] == '-';
    const bool beyond = errno == ERANGE || (minus ? 0 - number : number) > 0xFFFFFFFFu;
    expect(converted == (end != text), "a mask is read exactly when a hexadecimal number starts the text");
    expect(mask == (!converted ? 0x5A5A5A5Au : beyond ? 0xFFFFFFFFu : static_cast<std::uint32_t>(number)),
           "the mask is the number, negated modulo 2^32 after a minus, and as it was when none is read");
    return 0;
}
