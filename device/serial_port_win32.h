// The Windows side of the serial port: the process-wide handle and the fixed
// line settings and time-outs that every open applies.
#pragma once

#include <windows.h>

// INVALID_HANDLE_VALUE from program start and whenever no port is open.
extern HANDLE portHandle;

// 38400 bit/s, 7 data bits, even parity, 1 stop bit, no flow control, DTR
// and RTS off. Applied whole; the port's previous state is never read.
extern const DCB portSettings;

// A read of n bytes ends within 50 * n + 50 ms, or when 50 ms pass between
// two bytes; a write of n bytes within 100 * n + 100 ms.
extern const COMMTIMEOUTS portTimeouts;

// Abort and discard in both directions; the only mask the device link uses.
constexpr DWORD purgeMask = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
static_assert(purgeMask == 0x0F);

// Set when a read or write failed with an error of the port itself (the
// device gone, the handle closed) rather than by running out of time; only
// the monitor's reader looks at it. Cleared by reopenPort.
extern bool portBroken;

// Closes the port and opens the one opened last again, with the same
// settings, reporting nothing: for a reader that finds the device gone and
// waits for it to come back. Returns 1 when it is open again.
int reopenPort();
