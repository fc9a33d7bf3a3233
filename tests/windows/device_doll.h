// The virtual doll at the other end of the serial port, as
// tools/with-virtual-doll starts it: its port number, its control file and
// its log of exchanges. Also catches the error boxes a call shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The doll's COM port number; 0 when the tests run without the doll.
std::uint32_t dollPort();

// Applies options to the running doll, one per line as on its command line,
// and returns once the doll has taken them.
void controlDoll(const std::string& lines);

// One line of the doll's log: the request as received and the reply as sent
// (or "(no reply)"), escaped as the log writes them, and the fault applied.
struct LoggedExchange {
    std::string request, reply;
};

// The log's length now; exchangesSince takes the lines after such a mark,
// waiting until at least `expected` have been written.
std::size_t logMark();
std::vector<LoggedExchange> exchangesSince(std::size_t mark, std::size_t expected);

// Runs `call`, closing each error box it shows; the texts of the boxes in UTF-8.
std::vector<std::string> errorBoxesShownBy(const std::function<void()>& call);
