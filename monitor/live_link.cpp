#include "monitor/live_link.h"

void startLinkSchedule(LinkSchedule& schedule, double now) {
    schedule.frameCount = 0;
    schedule.nextSendAt = now;
    schedule.latestSent = false;
}

void scheduleFrame(LinkSchedule& schedule, const VmcFrame& frame, double readAt) {
    if (schedule.frameCount == 2) {
        schedule.frames[0] = schedule.frames[1];
        schedule.readAt[0] = schedule.readAt[1];
    }
    int latest = schedule.frameCount == 0 ? 0 : 1;
    schedule.frames[latest] = frame;
    schedule.readAt[latest] = readAt;
    schedule.frameCount = latest + 1;
    schedule.latestSent = false;
}

int dueFrame(LinkSchedule& schedule, double now, VmcFrame& frame) {
    if (schedule.frameCount == 0 || now < schedule.nextSendAt) return 0;
    // One slot a call: a caller that fell behind starts the beat again from now.
    schedule.nextSendAt += 1.0 / linkSendRate;
    if (schedule.nextSendAt <= now) schedule.nextSendAt = now + 1.0 / linkSendRate;
    // The latest went out whole: the slot passes unused until a new frame comes.
    if (schedule.latestSent) return 0;
    if (schedule.frameCount == 1) {
        frame = schedule.frames[0];
        schedule.latestSent = true;
        return 1;
    }
    double step = schedule.readAt[1] - schedule.readAt[0];
    if (step > linkLongestStep) step = linkLongestStep;
    double share = step > 0.0 ? (now - schedule.readAt[1]) / step : 1.0;
    if (share < 0.0) return 0;
    if (share >= 1.0) {
        frame = schedule.frames[1];
        schedule.latestSent = true;
        return 1;
    }
    vmcFrameBetween(schedule.frames[0], schedule.frames[1], share, frame);
    return 1;
}
