#include "device/node_protocol.h"

#include <cstdio>
#include <cstring>

#include "device/serial_port.h"

std::atomic<int> exchangesStopped{0};

namespace {

constexpr char identification[] = "Gestalyx\r\n";
constexpr unsigned identificationLength = sizeof identification - 1;

// Requests are at most "a3003\n"; replies at most the identification.
char request[8];
char reply[16];

constexpr unsigned addressReplyLength = 5;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A number on the line is exactly two hexadecimal digits, in either case.
int readNumber(const char* text, std::uint8_t* number) {
    int high = hexDigit(text[0]);
    int low = hexDigit(text[1]);
    if (high < 0 || low < 0) return 0;
    *number = static_cast<std::uint8_t>(high << 4 | low);
    return 1;
}

// The replies "%c%02x%c" (5 bytes) and "%c%02x%02x%c" (7 bytes) in `reply`:
// the letter, one or two numbers, then CR; the last byte is not examined. The
// first number must equal `echo` unless echo is negative.
bool replyHolds(char letter, int numberCount, int echo, std::uint8_t numbers[2]) {
    if (reply[0] != letter) return false;
    for (int i = 0; i < numberCount; ++i)
        if (!readNumber(reply + 1 + 2 * i, &numbers[i])) return false;
    if (reply[1 + 2 * numberCount] != '\r') return false;
    return echo < 0 || numbers[0] == echo;
}

// Before a repeated read or write meant for `registerNumber` of `node`: the
// node may have carried out the request and only its reply was lost, moving
// its pointer on, so the pointer is set there again first. A failure of this
// exchange fails the attempt. noRegister leaves the pointer to the node.
bool pointerSetAgain(std::uint8_t node, int registerNumber) {
    if (registerNumber == noRegister) return true;
    char address[8];
    std::snprintf(address, sizeof address, "a%02x%02x\n", node, static_cast<std::uint8_t>(registerNumber));
    std::uint8_t numbers[2];
    return writeAll(address) && readExact(reply, addressReplyLength) && replyHolds('A', 1, node, numbers);
}

// Sends the request built once, up to three times, purging the port before
// the second and third attempt only (and setting the node's pointer again
// after the purge, for a read or write meant for a register); an attempt
// counts when the whole reply arrived and `accept` takes it.
template <typename Accept>
int exchange(unsigned replyLength, Accept accept, std::uint8_t node = 0, int registerNumber = noRegister) {
    for (int attempt = 1; attempt <= exchangeAttempts && !exchangesStopped; ++attempt) {
        if (attempt > 1) purgePort();
        if ((attempt == 1 || pointerSetAgain(node, registerNumber)) && !exchangesStopped && writeAll(request) &&
            readExact(reply, replyLength) && accept())
            return 1;
    }
    return 0;
}

// An exchange whose reply carries `numberCount` numbers; they are delivered
// only on success. The echo, when not negative, is the node a read or write
// of `registerNumber` goes to.
int numberExchange(char letter, int numberCount, int echo, std::uint8_t numbers[2], int registerNumber = noRegister) {
    const unsigned replyLength = 1 + 2 * numberCount + 2;
    auto accept = [&] {
        std::uint8_t got[2];
        if (!replyHolds(letter, numberCount, echo, got)) return false;
        for (int i = 0; i < numberCount; ++i) numbers[i] = got[i];
        return true;
    };
    return exchange(replyLength, accept, static_cast<std::uint8_t>(echo), registerNumber);
}

}  // namespace

int sendAddress(std::uint8_t node, std::uint8_t registerNumber) {
    std::snprintf(request, sizeof request, "a%02x%02x\n", node, registerNumber);
    std::uint8_t numbers[2];
    return numberExchange('A', 1, node, numbers);
}

int sendWrite(std::uint8_t node, std::uint8_t value, int registerNumber) {
    std::snprintf(request, sizeof request, "w%02x%02x\n", node, value);
    std::uint8_t numbers[2];
    return numberExchange('W', 1, node, numbers, registerNumber);
}

int sendRead(std::uint8_t node, std::uint8_t* value, int registerNumber) {
    std::snprintf(request, sizeof request, "r%02x\n", node);
    std::uint8_t numbers[2];
    if (!numberExchange('R', 2, node, numbers, registerNumber)) return 0;
    *value = numbers[1];
    return 1;
}

int setSwitchSource(std::uint8_t source) {
    std::snprintf(request, sizeof request, "c%02x\n", source);
    std::uint8_t numbers[2];
    return numberExchange('C', 1, source, numbers);
}

int readSwitchSource(std::uint8_t* source) {
    std::strcpy(request, "u\n");
    std::uint8_t numbers[2];
    if (!numberExchange('U', 1, -1, numbers)) return 0;
    *source = numbers[0];
    return 1;
}

int readStatus(std::uint8_t* status) {
    std::strcpy(request, "s\n");
    std::uint8_t numbers[2];
    if (!numberExchange('S', 1, -1, numbers)) return 0;
    *status = numbers[0];
    return 1;
}

int identify() {
    std::strcpy(request, "v\n");
    return exchange(identificationLength,
                    [] { return std::memcmp(reply, identification, identificationLength) == 0; });
}
