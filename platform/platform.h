// What the portable core needs of the platform. Windows fills these in with
// the message box, the local clock and the private-profile reader; the native
// tests with fakes.
#pragma once

// Shows one modal error box titled with the program name. `text` is UTF-8.
// Returns when the box is closed. Callers go through reportError's guard.
void showErrorBox(const char* text);

struct LocalTime {
    unsigned year, month, day, hour, minute, second;
};

LocalTime currentLocalTime();

// Reads a value of the settings file, as the private-profile reader does:
// section and key matched without regard to case, blanks around the value
// dropped, a missing key read as empty. A null section asks for the list of
// section names. At most size - 1 bytes are stored and the text is always
// NUL-terminated; the result is the number of bytes stored.
unsigned readSettingsValue(const char* fileName, const char* section, const char* key,
                           char* buffer, unsigned size);

// A number no other running process has: it keeps temporary file names of
// two instances in one folder apart.
unsigned processNumber();

// Gives the file `from` the name `to` in the same folder, only if nothing has
// that name: an existing file is never replaced. Returns 1 or 0.
int claimFileName(const char* from, const char* to);

// Cuts the file `name` to its first `size` bytes. Returns 1 or 0.
int truncateFile(const char* name, long size);
