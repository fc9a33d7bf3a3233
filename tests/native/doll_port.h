// The serial port seen by the native tests: a virtual doll in the same
// process answers every request, or a script of replies stands in for it.
// Everything written is recorded, request by request.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tools/virtual-doll/doll.h"

struct DollPort {
    Doll doll;
    std::deque<std::string> scriptedReplies;  // when not empty, one per request instead of the doll
    std::vector<std::string> requests;        // as written, LF included
    std::string pending;                      // reply bytes not yet read
    int purges = 0;
    bool openFails = false;
    std::vector<unsigned> opened;             // port numbers openPort was asked for
};

extern DollPort dollPort;

// A doll fresh from the factory and powered up, with the posture of every
// node at zero, an empty record and the sequence number back at 0.
void resetDollPort();

// The requests written since the last reset, LF dropped, joined by blanks.
std::string requestLine();
