#include "app/command_line.h"

#include "app/number_text.h"

int parsePartMask(const char* text, std::uint32_t& partMask) {
    return scanUnsigned(text, 16, partMask) != nullptr;
}
