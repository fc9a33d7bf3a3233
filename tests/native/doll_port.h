// The serial port seen by the native tests: a virtual doll in the same process answers every request, or a
// script of replies stands in for it. Every request is recorded, and a fake clock charges each transfer the
// time it would take on the line.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tools/virtual-doll/doll.h"

struct DollPort {
    Doll doll;
    bool scripted = false;                    // replies from the script instead of the doll, then silence
    std::deque<std::string> scriptedReplies;  // one per request, in turn
    std::size_t answerLimit = SIZE_MAX;       // requests after this many get no reply
    std::vector<std::string> requests;        // as written, LF included
    std::string pending;                      // reply bytes not yet read
    int purges = 0;
    long faults[dollFaultKinds] = {};  // attempts the doll answered with each fault
    // The clock in bit times. An exchange is a first attempt and the retries after its purges, each
    // of a read or write maybe begun by the address exchange that sets the pointer again.
    long clock = 0, exchanges = 0, overlongExchanges = 0, exchangeStart = 0, requestTime = 0;
    bool retrying = false, overlong = false, readdressable = false, readdressing = false;
    std::string exchangeRequest;
};

extern DollPort dollPort;

// A doll fresh from the factory and powered up, with the posture of every
// node at zero, an empty record and the sequence number back at 0.
void resetDollPort();

// The requests written since the last reset, LF dropped, joined by blanks.
std::string requestLine();
