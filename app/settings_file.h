// The settings file: the doll's COM port and which sensor nodes it has fitted.
#pragma once

#include <cstdint>

// Whoever reads the file through this header also names it and reports its faults.
#include "platform/settings_values.h"

// 0 for "auto", else the COM port number, 1 to 256.
extern std::uint32_t portNumber;

// At most 63 bytes and a NUL; set only when the port number is "auto".
extern char productDesc[64];

// Where 実行 takes the sensor vectors from: the sample pose chosen, or the
// doll's nodes read at that moment. [CAPTURE] Source, demo when missing.
enum CaptureSource : int { CaptureDemo = 0, CaptureDoll = 1 };
extern int captureSource;

// Reads the settings file once: the port number, with "auto" ProductDesc, the
// NODE keys, setting NoNode on every part whose node is not fitted, and the
// capture source.
// Returns 1 when the file is complete and valid; otherwise shows one message
// for the first problem and returns 0.
int loadSettings();
