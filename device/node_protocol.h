// The seven request/reply exchanges with the doll. Each builds its request
// once, makes up to three attempts (purging the port before the second and
// third), checks letter, echo and CR of the reply, and stores its output only
// on success. Returns 1 or 0; nothing is reported to the user here.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int exchangeAttempts = 3;

// Set from another thread to end what the link is doing: every exchange then
// fails before its next attempt, without touching the line, so that a stream
// of reads stops within one transfer whatever the doll does. Cleared by
// whoever set it, before the link is used again.
extern std::atomic<int> exchangesStopped;

// Node exchanges: the node's register pointer moves on by one after every
// read and write it carries out.
//
// A read or write given the register it is meant for (as every node
// operation gives it) repeats an attempt only after setting the pointer
// there again, with an address exchange after the purge: a node that carried
// out the request but whose reply was lost has already moved its pointer on,
// and the plain repeat would hit the next register. The line is the same as
// without it whenever the first attempt succeeds.
constexpr int noRegister = -1;
int sendAddress(std::uint8_t node, std::uint8_t registerNumber);
int sendWrite(std::uint8_t node, std::uint8_t value, int registerNumber = noRegister);
int sendRead(std::uint8_t node, std::uint8_t* value, int registerNumber = noRegister);

// Exchanges with the doll as a whole. The switch/LED source is 0 for the
// built-in unit, 1 for the external one.
int setSwitchSource(std::uint8_t source);
int readSwitchSource(std::uint8_t* source);
int readStatus(std::uint8_t* status);

// 1 when the doll names itself with exactly "Gestalyx\r\n".
int identify();
