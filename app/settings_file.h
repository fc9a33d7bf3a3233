// The settings file: the doll's COM port and which sensor nodes it has fitted.
#pragma once

#include <cstdint>

// 0 for "auto", else the COM port number, 1 to 256.
extern std::uint32_t portNumber;

// At most 63 bytes and a NUL; set only when the port number is "auto".
extern char productDesc[64];

// Where 実行 takes the sensor vectors from: the sample pose chosen, or the
// doll's nodes read at that moment. [CAPTURE] Source, demo when missing.
enum CaptureSource : int { CaptureDemo = 0, CaptureDoll = 1 };
extern int captureSource;

constexpr const char* settingsFileName = ".\\Gestalyx.ini";

// Reads the settings file once: the port number, with "auto" ProductDesc, the
// NODE keys, setting NoNode on every part whose node is not fitted, and the
// capture source.
// Returns 1 when the file is complete and valid; otherwise shows one message
// for the first problem and returns 0.
int loadSettings();

// Shows one message about the settings file. A null key makes it a message
// about the file as a whole. A leading ".\" of the file name is not shown.
void reportSettingsError(const char* fileName, const char* section, const char* key, const char* tail);
