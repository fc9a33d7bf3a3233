// The monitor's reader: a thread of its own that owns the port for the whole
// mode, reads frame after frame and hands them to the window behind one small
// lock, posting framesMessage when the window has none waiting. The window
// never calls the device layer.
#pragma once

#include <windows.h>

#include "monitor/monitor_frame.h"

constexpr UINT framesMessage = WM_APP + 1;  // the reader has queued frames

// Frames the reader has read and the window has not yet taken. Should the
// window fall behind, the oldest frame gives way and is counted.
constexpr int queueCapacity = 64;
struct TakenFrames {
    MonitorFrame frames[queueCapacity];
    int count;
    unsigned dropped;  // frames that gave way since the window last took the queue
    bool lineLost;     // every node failed, or the port did, in the latest frame
};

// The reader's clock, seconds: the frames' readAt, for the window to tell
// frames read after a moment from those before.
double readerSeconds();

// Starts reading the fitted nodes for `window`. Returns 1, or 0 when no
// thread could be made (nothing is reported).
int startReader(HWND window);

// Moves the queued frames into `taken`, oldest first, and leaves the queue
// empty; the next frame queued posts framesMessage again.
void takeFrames(TakenFrames& taken);

// Asks the reader to stop and waits at most `waitMs` for it. The reader
// stops within one transfer: every exchange fails before its next attempt
// and the one under way is cancelled where the system allows it. Returns 1
// once it has stopped (also when none runs), 0 when it is still in a
// transfer; the port must then stay open until it has stopped.
int stopReader(DWORD waitMs);
