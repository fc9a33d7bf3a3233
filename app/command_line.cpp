#include "app/command_line.h"

#include "platform/number_text.h"

int parsePartMask(const char* text, std::uint32_t& partMask) {
    return scanUnsigned(text, 16, partMask) != nullptr;
}

namespace {

// "/word" or "-word", the lower-case `word` in any case, with nothing but
// white space around it.
int isSwitch(const char* text, const char* word) {
    if (text == nullptr) return 0;
    while (isWhiteSpace(*text)) ++text;
    if (*text != '/' && *text != '-') return 0;
    ++text;
    for (const char* letter = word; *letter != '\0'; ++letter, ++text)
        if ((*text | 0x20) != *letter) return 0;
    while (isWhiteSpace(*text)) ++text;
    return *text == '\0';
}

}  // namespace

int isSettingsSwitch(const char* text) { return isSwitch(text, "settings"); }

int isMonitorSwitch(const char* text) { return isSwitch(text, "monitor"); }
