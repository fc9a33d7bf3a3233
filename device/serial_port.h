// The one serial port of the process and its three transfers. The node
// protocol reaches the doll only through writeAll, readExact and purgePort;
// Windows fills them in with the COM port, the native tests with a virtual
// doll in the same process.
#pragma once

#include <cstdint>

// Opens "\\.\COM<number>" exclusively with the fixed line settings and
// time-outs. Returns 1 when the port is open; otherwise reports the failure
// to the user and returns 0. A port already open must be closed first.
int openPort(std::uint32_t number);

// Discards pending data and closes the port; harmless when none is open.
void closePort();

// Aborts and discards whatever is pending in both directions.
int purgePort();

// Discards pending data and applies the fixed line settings and time-outs
// again; the result is that of setting the time-outs.
int applyPortSettings();

// Writes the NUL-terminated request whole. 1 only when every byte went out.
int writeAll(const char* text);

// Reads exactly `count` bytes within the read time-outs. 1 only when all
// arrived; a read cut short by the time-outs is a failure.
int readExact(char* buffer, unsigned count);
