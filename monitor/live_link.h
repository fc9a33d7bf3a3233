// When the live link sends what, smoothed: the doll gives a few frames a
// second, receivers animate at their own rate. Frames are sent at
// linkSendRate, each `share` of the way between the two latest complete
// frames, share running from 0 to 1 over the time between them (read
// time to read time) after the latest was read: one frame of added delay.
// Once the latest is reached it is sent once and sending pauses until the
// next complete frame comes, so that a doll that stops answering is never
// shown moving on.
#pragma once

#include "output/vmc_frame.h"

constexpr double linkSendRate = 30.0;
// A gap longer than this (a node failed for a while) is crossed in this
// time instead, so that the figure does not crawl after a pause.
constexpr double linkLongestStep = 0.5;

struct LinkSchedule {
    VmcFrame frames[2];  // the two latest complete frames, older first
    double readAt[2];    // when each was read, seconds on the caller's clock
    int frameCount;      // 0 to 2
    double nextSendAt;   // when the next frame is due
    bool latestSent;     // the latest frame went out whole: pause
};

void startLinkSchedule(LinkSchedule& schedule, double now);

// A complete frame read at `readAt`.
void scheduleFrame(LinkSchedule& schedule, const VmcFrame& frame, double readAt);

// Returns 1 and the frame to send when one is due at `now` (at most one per
// call; a caller that fell behind does not catch up with a burst), else 0.
int dueFrame(LinkSchedule& schedule, double now, VmcFrame& frame);
