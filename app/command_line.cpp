#include "app/command_line.h"

#include "platform/number_text.h"

int parsePartMask(const char* text, std::uint32_t& partMask) {
    return scanUnsigned(text, 16, partMask) != nullptr;
}

int isSettingsSwitch(const char* text) {
    if (text == nullptr) return 0;
    while (isWhiteSpace(*text)) ++text;
    if (*text != '/' && *text != '-') return 0;
    ++text;
    for (const char* letter = "settings"; *letter != '\0'; ++letter, ++text)
        if ((*text | 0x20) != *letter) return 0;
    while (isWhiteSpace(*text)) ++text;
    return *text == '\0';
}
