#include "app/command_line.h"

#include "platform/number_text.h"

int parsePartMask(const char* text, std::uint32_t& partMask) {
    return scanUnsigned(text, 16, partMask) != nullptr;
}

namespace {

// "/word" or "-word", the lower-case `word` in any case, with white space
// before it; `rest` is left at what follows it past white space, which is
// "" for the switch alone.
int isSwitch(const char* text, const char* word, const char*& rest) {
    if (text == nullptr) return 0;
    while (isWhiteSpace(*text)) ++text;
    if (*text != '/' && *text != '-') return 0;
    ++text;
    for (const char* letter = word; *letter != '\0'; ++letter, ++text)
        if ((*text | 0x20) != *letter) return 0;
    if (*text != '\0' && !isWhiteSpace(*text)) return 0;
    while (isWhiteSpace(*text)) ++text;
    rest = text;
    return 1;
}

int isSwitch(const char* text, const char* word) {
    const char* rest;
    return isSwitch(text, word, rest) && *rest == '\0';
}

}  // namespace

int isSettingsSwitch(const char* text) { return isSwitch(text, "settings"); }

int isMonitorSwitch(const char* text, char* keysFile, int capacity) {
    const char* rest;
    if (!isSwitch(text, "monitor", rest)) return 0;
    // The name: up to its closing quote, or to the end less trailing white space.
    const bool quoted = *rest == '"';
    const char* end = rest += quoted;
    while (*end != '\0' && (!quoted || *end != '"')) ++end;
    if (quoted && *end != '"') return 0;
    for (const char* past = end + quoted; *past != '\0'; ++past)
        if (!isWhiteSpace(*past)) return 0;
    while (!quoted && end > rest && isWhiteSpace(end[-1])) --end;
    if (keysFile != nullptr && capacity > 0) {
        int length = static_cast<int>(end - rest) < capacity ? static_cast<int>(end - rest) : capacity - 1;
        for (int i = 0; i < length; ++i) keysFile[i] = rest[i];
        keysFile[length] = '\0';
    }
    return 1;
}
