#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "device/serial_port.h"
#include "platform/platform.h"

const char* settingsText;
std::size_t settingsTextSize;
int errorBoxes;
FuzzLine fuzzLine;

static const std::uint8_t* inputNext;
static const std::uint8_t* inputEnd;

void startInput(const std::uint8_t* data, std::size_t size) {
    inputNext = data;
    inputEnd = data + size;
}

int takeByte() { return inputNext < inputEnd ? *inputNext++ : -1; }

void expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

void showErrorBox(const char*) { ++errorBoxes; }

static const char* find(const char* begin, const char* end, char c) {
    return static_cast<const char*>(std::memchr(begin, c, end - begin));
}

// [begin, end) less the blanks at either end.
static void trim(const char*& begin, const char*& end) {
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) --end;
}

static bool sameName(const char* begin, const char* end, const char* name) {
    return std::strlen(name) == static_cast<std::size_t>(end - begin) && strncasecmp(begin, name, end - begin) == 0;
}

// The private-profile rules: [section] and key=value lines, names in any case,
// blanks and one pair of quotes dropped from a value. A null section lists the names.
unsigned readSettingsValue(const char*, const char* section, const char* key, char* buffer, unsigned size) {
    unsigned stored = 0;
    bool inSection = false;
    for (const char *next = settingsText, *end = next + settingsTextSize; next < end;) {
        const char *begin = next, *finish = find(next, end, '\n');
        finish = finish != nullptr ? finish : end;
        next = finish + 1;
        trim(begin, finish);
        const char* close = begin < finish && *begin == '[' ? find(begin, finish, ']') : nullptr;
        const char* equals = find(begin, finish, '=');
        if (close != nullptr && section == nullptr) {
            for (const char* c = begin + 1; c <= close && stored + 2 < size; ++c) buffer[stored++] = c < close ? *c : 0;
        } else if (close != nullptr) {
            inSection = sameName(begin + 1, close, section);
        } else if (inSection && equals != nullptr) {
            const char *nameEnd = equals, *value = equals + 1;
            trim(begin, nameEnd);
            trim(value, finish);
            if (!sameName(begin, nameEnd, key)) continue;
            if (finish - value >= 2 && *value == '"' && finish[-1] == '"') ++value, --finish;
            stored = std::min<unsigned>(finish - value, size - 1);
            std::memcpy(buffer, value, stored);
            break;
        }
    }
    buffer[stored] = '\0';
    if (section == nullptr) buffer[stored + 1] = '\0';
    return stored;
}

static void arrive(int byte) {
    if (byte >= 0 && fuzzLine.pendingLength < sizeof fuzzLine.pending)
        fuzzLine.pending[fuzzLine.pendingLength++] = static_cast<char>(byte);
}

int purgePort() {
    ++fuzzLine.purges;
    fuzzLine.pendingLength = 0;
    return 1;
}

int writeAll(const char* text) {
    ++fuzzLine.writes;
    const int control = takeByte();
    const bool replaced = fuzzLine.doll == nullptr || control >= 0xC0;
    char reply[dollReplyCapacity];
    for (; fuzzLine.doll != nullptr && *text != '\0'; ++text) {
        std::size_t length = receiveDollByte(*fuzzLine.doll, static_cast<unsigned char>(*text), reply);
        for (std::size_t i = 0; i < length && !replaced; ++i) arrive(static_cast<unsigned char>(reply[i]));
    }
    for (int count = replaced ? control & (fuzzLine.doll != nullptr ? 0x0F : 0x1F) : 0; count > 0; --count)
        arrive(takeByte());
    return 1;
}

int readExact(char* buffer, unsigned count) {
    std::size_t got = std::min<std::size_t>(fuzzLine.pendingLength, count);
    std::memcpy(buffer, fuzzLine.pending, got);
    std::memmove(fuzzLine.pending, fuzzLine.pending + got, fuzzLine.pendingLength -= got);
    if (got == count && count <= sizeof fuzzLine.lastRead) std::memcpy(fuzzLine.lastRead, buffer, count);
    return got == count;
}
