#include "monitor/monitor_reader_win32.h"

#include <cstring>

#include "device/node_protocol.h"
#include "device/serial_port_win32.h"

namespace {

// After a frame in which the doll did not answer at all, the reader waits
// this long before it asks again, one node only, reopening the port first
// when the port itself failed: a few attempts a second while the doll is
// gone, and the stream goes on by itself when it answers.
constexpr DWORD lostLinePauseMs = 300;

// ---- Shared by the reader and the window, behind frameLock ----

CRITICAL_SECTION frameLock;
MonitorFrame queuedFrames[queueCapacity];
int queuedCount;
unsigned droppedFrames;
bool queuedLineLost;
bool framesPosted;  // a framesMessage is on its way and will take the queue

// ---- The reader's own ----

HANDLE readerThread;
HANDLE stopEvent;  // set when the window asks the reader to stop
HWND readerWindow;
FittedNodes fittedNodes;
std::uint32_t fittedRows;
LARGE_INTEGER clockFrequency, clockStart;

}  // namespace

double readerSeconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - clockStart.QuadPart) / static_cast<double>(clockFrequency.QuadPart);
}

namespace {

bool stopAsked(DWORD waitMs = 0) { return WaitForSingleObject(stopEvent, waitMs) == WAIT_OBJECT_0; }

void queueFrame(const MonitorFrame& frame, bool lineLost) {
    EnterCriticalSection(&frameLock);
    if (queuedCount == queueCapacity) {
        std::memmove(queuedFrames, queuedFrames + 1, sizeof queuedFrames[0] * (queueCapacity - 1));
        --queuedCount;
        ++droppedFrames;
    }
    queuedFrames[queuedCount++] = frame;
    queuedLineLost = lineLost;
    bool post = !framesPosted;
    framesPosted = true;
    LeaveCriticalSection(&frameLock);
    if (post) PostMessageW(readerWindow, framesMessage, 0, 0);
}

// Every fitted node's vectors, frame after frame, until told to stop. A
// frame cut short by the stop is not queued. While the line is lost each
// attempt is queued as a frame without nodes, so that a recording counts the
// time as frames left out.
DWORD WINAPI readFrames(void*) {
    bool lineLost = false;
    while (!stopAsked()) {
        if (lineLost) {
            if (stopAsked(lostLinePauseMs)) break;
            if (portBroken) reopenPort();
        }
        MonitorFrame frame{};  // the rows without a node stay zero: nothing unset reaches the window
        readMonitorFrame(fittedNodes, readerSeconds, frame, lineLost);
        if (stopAsked()) break;
        lineLost = frame.failedRows == fittedRows || portBroken;
        queueFrame(frame, lineLost);
    }
    return 0;
}

}  // namespace

int startReader(HWND window) {
    readerWindow = window;
    listFittedNodes(fittedNodes);
    fittedRows = 0;
    for (int i = 0; i < fittedNodes.count; ++i) fittedRows |= 1u << fittedNodes.rows[i];
    queuedCount = 0;
    droppedFrames = 0;
    queuedLineLost = framesPosted = false;
    exchangesStopped = 0;
    InitializeCriticalSection(&frameLock);
    QueryPerformanceFrequency(&clockFrequency);
    QueryPerformanceCounter(&clockStart);
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent != nullptr) readerThread = CreateThread(nullptr, 0, readFrames, nullptr, 0, nullptr);
    if (readerThread != nullptr) return 1;
    if (stopEvent != nullptr) CloseHandle(stopEvent);
    stopEvent = nullptr;
    DeleteCriticalSection(&frameLock);
    return 0;
}

void takeFrames(TakenFrames& taken) {
    EnterCriticalSection(&frameLock);
    taken.count = queuedCount;
    std::memcpy(taken.frames, queuedFrames, sizeof taken.frames[0] * queuedCount);
    taken.dropped = droppedFrames;
    taken.lineLost = queuedLineLost;
    queuedCount = 0;
    droppedFrames = 0;
    framesPosted = false;
    LeaveCriticalSection(&frameLock);
}

int stopReader(DWORD waitMs) {
    if (readerThread == nullptr) return 1;
    exchangesStopped = 1;
    SetEvent(stopEvent);
    CancelSynchronousIo(readerThread);
    if (WaitForSingleObject(readerThread, waitMs) != WAIT_OBJECT_0) return 0;
    CloseHandle(readerThread);
    CloseHandle(stopEvent);
    readerThread = stopEvent = nullptr;
    DeleteCriticalSection(&frameLock);
    exchangesStopped = 0;
    return 1;
}
