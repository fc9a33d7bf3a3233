// The monitor's own section of the settings file, [MONITOR]. It is optional,
// and read only when the monitor starts: a fault in it never stops the other
// modes.
#pragma once

struct MonitorSettings {
    int frameRate;  // frames a second a recording is resampled to: 24, 25, 30, 50 or 60
    int grounded;   // 1: each frame's lowest point on the floor; 0: the hip at the reference figure's height
    int keyHold;    // frames each key taken holds until the next, at first: 1 to 9999
};

// 30, 1 and 12 until [MONITOR] is read, and for a key missing or empty there.
extern MonitorSettings monitorSettings;

// Reads [MONITOR] once the rest of the file has been read. Returns 1 when its
// keys are valid; otherwise shows one message for the first problem, keeps
// monitorSettings as it was and returns 0.
int loadMonitorSettings();
