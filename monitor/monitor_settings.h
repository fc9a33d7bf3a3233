// The monitor's own section of the settings file, [MONITOR]. It is optional,
// and read only when the monitor starts: a fault in it never stops the other
// modes.
#pragma once

// [LINK]: where the live link sends the figure, and how.
struct LinkSettings {
    char host[256];  // a name or a numeric address (IPv4 or IPv6), looked up when the link starts
    int port;        // UDP port, 1 to 65535
    int enabled;     // the 送信 box's state at start: 0 or 1
    int smooth;      // 1: linkSendRate frames a second between the doll's; 0: the doll's frames as they come
};

struct MonitorSettings {
    int frameRate;  // frames a second a recording is resampled to: 24, 25, 30, 50 or 60
    int grounded;   // 1: each frame's lowest point on the floor; 0: the hip at the reference figure's height
    int keyHold;    // frames each key taken holds until the next, at first: 1 to 9999
    LinkSettings link;
};

// 30, 1 and 12, and 127.0.0.1, 39539 (the port VMC receivers listen on by
// default), 0 and 1 until [MONITOR] and [LINK] are read, and for a key
// missing or empty there.
extern MonitorSettings monitorSettings;

// Reads [MONITOR] and [LINK] once the rest of the file has been read. Returns
// 1 when their keys are valid; otherwise shows one message for the first problem, keeps
// monitorSettings as it was and returns 0.
int loadMonitorSettings();
