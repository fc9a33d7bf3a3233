#include "monitor/monitor_window_win32.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "monitor/monitor_frame.h"
#include "monitor/monitor_resource.h"
#include "monitor/monitor_settings.h"
#include "monitor/recording.h"
#include "output/bvh_file.h"
#include "output/pose_file.h"
#include "platform/error_report.h"
#include "platform/platform_win32.h"
#include "solver/figure_solve.h"

namespace {

constexpr UINT framesMessage = WM_APP + 1;  // the reader has queued frames
constexpr UINT_PTR statusTimer = 1;
constexpr UINT statusTimerMs = 500;
constexpr UINT_PTR saveTimer = 2;
constexpr UINT saveWaitMs = 2000;  // how long ポーズ保存 waits for a complete frame
constexpr std::uint32_t allParts = 0x3FFFF;

// ---- Shared by the reader and the window, behind frameLock ----

// Frames the reader has read and the window has not yet taken. Should the
// window fall behind, the oldest frame gives way.
constexpr int queueCapacity = 64;
CRITICAL_SECTION frameLock;
MonitorFrame queuedFrames[queueCapacity];
int queuedCount;
unsigned droppedFrames;  // frames that gave way since the window last took the queue
bool framesPosted;  // a framesMessage is on its way and will take the queue

// ---- The reader's own ----

HANDLE readerThread;
volatile LONG stopReading;
FittedNodes fittedNodes;
LARGE_INTEGER clockFrequency, clockStart;

// ---- The window's own ----

HWND monitorWindow;
FigureFrame shownFigure;       // the latest complete frame's figure
FigurePose shownPose;          // and where its parts lie
std::uint32_t failedRows;      // the parts whose node failed in the latest frame
// The frame rate over the last four ticks of the status timer, so that it
// reads steadily even when a failing node makes frames a second long.
constexpr int rateTicks = 4;
unsigned framesSinceTick;
unsigned tickFrames[rateTicks];
ULONGLONG tickTimes[rateTicks];
int tickIndex;
double frameRate;
bool saveRequested;
char eventText[512];           // the last file saved or the last failure: a reason, the file and its notes
// 記録 pressed and the recording not yet saved; full once it reached its
// limit, and from then on it takes no frames until it is saved.
Recording recording;
bool recordingOn, recordingFull;
int controlsHeight;            // the band of buttons along the bottom edge, pixels

double readerSeconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - clockStart.QuadPart) / static_cast<double>(clockFrequency.QuadPart);
}

// The reader: every fitted node's vectors, frame after frame, until told to
// stop. It touches nothing but the port and the queue.
DWORD WINAPI readFrames(void*) {
    while (InterlockedCompareExchange(&stopReading, 0, 0) == 0) {
        MonitorFrame frame;
        readMonitorFrame(fittedNodes, readerSeconds, frame);
        EnterCriticalSection(&frameLock);
        if (queuedCount == queueCapacity) {
            std::memmove(queuedFrames, queuedFrames + 1, sizeof queuedFrames[0] * (queueCapacity - 1));
            --queuedCount;
            ++droppedFrames;
        }
        queuedFrames[queuedCount++] = frame;
        bool post = !framesPosted;
        framesPosted = true;
        LeaveCriticalSection(&frameLock);
        if (post) PostMessageW(monitorWindow, framesMessage, 0, 0);
    }
    return 0;
}

void stopReader() {
    if (readerThread == nullptr) return;
    InterlockedExchange(&stopReading, 1);
    WaitForSingleObject(readerThread, INFINITE);
    CloseHandle(readerThread);
    readerThread = nullptr;
}

void setEvent(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(eventText, sizeof eventText, format, arguments);
    va_end(arguments);
}

void setEventForNode(int row, const char* tail) {
    if (row < 0) {
        setEvent("%s", tail);
        return;
    }
    const BodyPart& part = bodyPartTable[row];
    setEvent("%s (%s) ノードのセンサ値が取得できませんでした。%s", part.label, part.name, tail);
}

// "12.5 フレーム/秒　記録 0 フレーム　<the last file saved or failure>", and
// while recording the frames recorded so far, with those left out.
void showStatus(HWND window) {
    char leftOut[64] = "";
    if (recordingOn && recording.leftOut != 0) std::snprintf(leftOut, sizeof leftOut, " (欠け %u)", recording.leftOut);
    char text[640];
    std::snprintf(text, sizeof text, "%.1f フレーム/秒　記録 %d フレーム%s　%s", frameRate,
                  recordingOn ? recording.count : 0, leftOut, eventText);
    wchar_t wide[640];
    toWide(text, wide, static_cast<int>(std::size(wide)));
    SetDlgItemTextW(window, IDC_MONITOR_STATUS, wide);
}

void onStatusTimer(HWND window) {
    ULONGLONG now = GetTickCount64();
    int oldest = (tickIndex + 1) % rateTicks;
    tickFrames[tickIndex] = framesSinceTick;
    unsigned frames = 0;
    for (unsigned count : tickFrames) frames += count;
    if (now > tickTimes[oldest]) frameRate = frames * 1000.0 / static_cast<double>(now - tickTimes[oldest]);
    tickTimes[oldest] = now;
    tickIndex = oldest;
    framesSinceTick = 0;
    showStatus(window);
}

// Saves the frame just taken as pose-NNN.pz2, the pose file of the host's
// joint angles, and pose-NNN.bvh, the figure as shown; NNN the first number
// for which neither file exists. A writer that fails says so in its box.
void savePose(HWND window, const MonitorFrame& frame) {
    saveRequested = false;
    KillTimer(window, saveTimer);
    static const char* const formats[] = {"pose-%03u.pz2", "pose-%03u.bvh"};
    char names[2][monitorNameCapacity];
    solveMonitorFrame(frame.sensor);
    PoseFrame angles{};
    figureAngles(shownFigure, angles);
    if (nextFreeNumber(formats, 2, names) == 0)
        setEvent("pose-001 から pose-999 までの名前がすべて使われています。");
    else if (writePoseFile(names[0], allParts) && writeBvhPose(names[1], angles))
        setEvent("%s と %s を保存しました。", names[0], names[1]);
    else
        setEvent("ポーズを保存できませんでした。");
    showStatus(window);
}

void onSaveTimeout(HWND window) {
    KillTimer(window, saveTimer);
    if (!saveRequested) return;
    saveRequested = false;
    int row = firstFailedRow(failedRows);
    setEventForNode(row, row < 0 ? "2 秒の間にフレームが届きませんでした。ポーズは保存していません。"
                                 : "ポーズは保存していません。");
    showStatus(window);
}

void setRecordCaption(HWND window, const char* caption) {
    wchar_t wide[16];
    toWide(caption, wide, static_cast<int>(std::size(wide)));
    SetDlgItemTextW(window, IDC_RECORD, wide);
}

void endRecording(HWND window) {
    recordingOn = recordingFull = false;
    freeRecording(recording);
    setRecordCaption(window, "記録");
}

// Saves the recording as motion-NNN.bvh and ends it; `reason` (or "") opens
// the status text. A recording without a complete frame ends without a file.
// When no name is free or the writer fails, the recording is kept and 停止
// stays, so that nothing is lost: pressing it again tries once more.
int stopRecording(HWND window, const char* reason) {
    static const char* const formats[] = {"motion-%03u.bvh"};
    char names[1][monitorNameCapacity];
    int stopped = 0;
    const int rate = monitorSettings.frameRate;
    const RecordingTimes times = recordingTimes(recording, rate);
    if (recording.count == 0) {
        setEvent("%s完全なフレームがなかったため、記録は保存していません。", reason);
        stopped = 1;
    } else if (times.frames == 0) {
        setEvent("%s記録が短すぎるため、保存していません。", reason);
        stopped = 1;
    } else if (nextFreeNumber(formats, 1, names) == 0) {
        setEvent("%smotion-001 から motion-999 までの名前がすべて使われています。記録はまだ保存していません。", reason);
    } else if (!saveRecording(recording, rate, monitorSettings.grounded, names[0])) {
        setEvent("%s記録を保存できませんでした。停止 でもう一度保存します。", reason);
    } else {
        char leftOut[96] = "", gap[128] = "";
        if (recording.leftOut != 0)
            std::snprintf(leftOut, sizeof leftOut, "欠けたフレーム %u は除きました。", recording.leftOut);
        if (times.gap > recordingGapToName)
            std::snprintf(gap, sizeof gap, "%.1f 秒目から %.1f 秒間、読み取りが欠けていたので補間しました。",
                          times.gapAt > 0 ? times.gapAt : 0.0, times.gap);
        setEvent("%s%s に %d フレーム (%d フレーム/秒、%.1f 秒) を保存しました。%s%s", reason, names[0], times.frames,
                 rate, times.frames / static_cast<double>(rate), leftOut, gap);
        stopped = 1;
    }
    if (stopped) endRecording(window);
    showStatus(window);
    return stopped;
}

void onRecordCommand(HWND window) {
    if (recordingOn) {
        stopRecording(window, "");
        return;
    }
    recordingOn = true;  // empty: endRecording let go of the last one's frames
    setRecordCaption(window, "停止");
    setEvent("記録しています。");
    showStatus(window);
}

// A frame streamed while recording goes into the recording first; one that
// finds it full stops it and saves it.
void recordStreamedFrame(HWND window, const MonitorFrame& frame) {
    if (!recordingOn || recordingFull || recordFrame(recording, frame)) return;
    recordingFull = true;
    char reason[128];
    if (recording.count == recordingFrameLimit)
        std::snprintf(reason, sizeof reason, "記録が上限の %d フレームに達したので停止しました。", recordingFrameLimit);
    else
        std::snprintf(reason, sizeof reason, "メモリが足りないので記録を停止しました。");
    stopRecording(window, reason);
}

void takeFrame(HWND window, const MonitorFrame& frame) {
    ++framesSinceTick;
    recordStreamedFrame(window, frame);
    std::uint32_t newlyFailed = frame.failedRows & ~failedRows;
    failedRows = frame.failedRows;
    if (frame.failedRows != 0) {
        if (newlyFailed != 0) {
            setEventForNode(firstFailedRow(frame.failedRows), "");
            showStatus(window);
        }
        return;
    }
    solveFigureOfFrame(frame.sensor, monitorSettings.grounded, shownFigure);
    placeFigure(shownFigure.local, shownFigure.root, shownPose);
    if (saveRequested) savePose(window, frame);
}

RECT pictureRect(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    client.bottom -= controlsHeight;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

void onFrames(HWND window) {
    static MonitorFrame taken[queueCapacity];
    EnterCriticalSection(&frameLock);
    int count = queuedCount;
    std::memcpy(taken, queuedFrames, sizeof taken[0] * count);
    queuedCount = 0;
    unsigned dropped = droppedFrames;
    droppedFrames = 0;
    framesPosted = false;
    LeaveCriticalSection(&frameLock);
    if (recordingOn && !recordingFull) recording.leftOut += dropped;
    for (int i = 0; i < count; ++i) takeFrame(window, taken[i]);
    RECT picture = pictureRect(window);
    InvalidateRect(window, &picture, FALSE);
}

// ---- The picture ----

// The three views side by side, each a 200 cm square scaled into a third of
// the picture: from the front (X right, Y up), from the figure's right side
// (Z right, so it faces right), and from above (X right, the front down).
struct View {
    const char* name;
    int across, up;        // world axes on the screen's x and y, up < 0: Z downwards
    double centreAcross, centreUp;
};

constexpr View views[3] = {
    {"正面", 0, 1, 0.0, 90.0},
    {"側面", 2, 1, 0.0, 90.0},
    {"上面", 0, -1, 0.0, 0.0},
};
constexpr double viewSpan = 200.0;  // centimetres across a view

POINT project(const View& view, const RECT& area, double scale, const double point[3]) {
    double across = point[view.across] - view.centreAcross;
    double up = view.up >= 0 ? point[view.up] - view.centreUp : -point[2];
    LONG x = (area.left + area.right) / 2 + static_cast<LONG>(across * scale);
    LONG y = (area.top + area.bottom) / 2 - static_cast<LONG>(up * scale);
    return POINT{x, y};
}

void drawSegment(HDC dc, HPEN pen, POINT from, POINT to) {
    SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

// Each part is a line from its joint to each child's joint, or to its end
// point when it has no child: thicker for parts with a node, red for a part
// whose node failed in the latest frame.
void drawFigure(HDC dc, const View& view, const RECT& area, double scale) {
    const int thickness[2] = {2, 5};
    HPEN pens[2][2];
    for (int node = 0; node < 2; ++node) {
        pens[node][0] = CreatePen(PS_SOLID, thickness[node], RGB(32, 32, 96));
        pens[node][1] = CreatePen(PS_SOLID, thickness[node], RGB(220, 0, 0));
    }
    HGDIOBJ previous = SelectObject(dc, pens[0][0]);
    for (int row = 0; row < bodyPartCount; ++row) {
        const BodyPart& part = bodyPartTable[row];
        HPEN pen = pens[(part.flags & NoNode) ? 0 : 1][failedRows >> row & 1];
        POINT joint = project(view, area, scale, shownPose.joint[row]);
        bool hasChild = false;
        for (int child = 0; child < bodyPartCount; ++child) {
            if (bodyPartTable[child].parent != row) continue;
            hasChild = true;
            drawSegment(dc, pen, joint, project(view, area, scale, shownPose.joint[child]));
        }
        if (!hasChild) drawSegment(dc, pen, joint, project(view, area, scale, shownPose.end[row]));
    }
    SelectObject(dc, previous);
    for (auto& pair : pens)
        for (HPEN pen : pair) DeleteObject(pen);
}

// The floor (Y = 0) across the views from the front and the side.
void drawFloor(HDC dc, const View& view, const RECT& area, double scale) {
    if (view.up != 1) return;
    const double floor[3] = {0.0, 0.0, 0.0};
    LONG y = project(view, area, scale, floor).y;
    if (y <= area.top || y >= area.bottom) return;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(160, 160, 160));
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, area.left + 1, y, nullptr);
    LineTo(dc, area.right - 1, y);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void drawViews(HDC dc, HWND window, const RECT& picture) {
    LONG width = (picture.right - picture.left) / 3;
    LONG height = picture.bottom - picture.top;
    double scale = (width < height ? width : height) / viewSpan;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < 3; ++i) {
        RECT area{picture.left + i * width + 4, picture.top + 4, picture.left + (i + 1) * width - 4, picture.bottom - 4};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        wchar_t name[8];
        toWide(views[i].name, name, static_cast<int>(std::size(name)));
        TextOutW(dc, area.left + 4, area.top + 2, name, lstrlenW(name));
        drawFloor(dc, views[i], area, scale);
        drawFigure(dc, views[i], area, scale);
    }
    SelectObject(dc, oldFont);
}

// Drawn whole into a bitmap first, then copied at once, so that nothing
// flickers; the children clip themselves out (WS_CLIPCHILDREN).
void paintWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (target != nullptr && client.right > 0 && client.bottom > 0) {
        HDC memory = CreateCompatibleDC(target);
        HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
        drawViews(memory, window, pictureRect(window));
        BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(window, &paint);
}

// ---- The controls ----

// The status text along the bottom left, the three buttons at the bottom
// right, each button keeping the size the template gave it.
void layOut(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    RECT button;
    GetWindowRect(GetDlgItem(window, IDCANCEL), &button);
    const int buttonWidth = button.right - button.left, buttonHeight = button.bottom - button.top;
    const int margin = 8;
    controlsHeight = buttonHeight + 2 * margin;
    int y = client.bottom - margin - buttonHeight;
    int x = client.right - margin - buttonWidth;
    for (int id : {IDCANCEL, IDC_SAVE_POSE, IDC_RECORD}) {
        SetWindowPos(GetDlgItem(window, id), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        x -= buttonWidth + margin / 2;
    }
    int statusWidth = x + buttonWidth - margin;
    SetWindowPos(GetDlgItem(window, IDC_MONITOR_STATUS), nullptr, margin, y + 3, statusWidth > 0 ? statusWidth : 0,
                 buttonHeight - 3, SWP_NOZORDER);
    InvalidateRect(window, nullptr, FALSE);
}

void onInit(HWND window) {
    monitorWindow = window;
    captureWindow = window;  // owner of the writers' error boxes
    failedRows = 0;
    framesSinceTick = 0;
    frameRate = 0;
    saveRequested = false;
    recordingOn = recordingFull = false;
    eventText[0] = '\0';
    Rotation rest[bodyPartCount];
    for (Rotation& part : rest) part = identityRotation;
    solveFigure(rest, monitorSettings.grounded, shownFigure);
    placeFigure(shownFigure.local, shownFigure.root, shownPose);
    tickIndex = 0;
    for (int i = 0; i < rateTicks; ++i) {
        tickFrames[i] = 0;
        tickTimes[i] = GetTickCount64();
    }
    layOut(window);
    showStatus(window);
    SetTimer(window, statusTimer, statusTimerMs, nullptr);
}

void onSaveCommand(HWND window) {
    if (saveRequested) return;
    saveRequested = true;
    SetTimer(window, saveTimer, saveWaitMs, nullptr);
}

void onTimer(HWND window, UINT_PTR timer) {
    if (timer == statusTimer) onStatusTimer(window);
    if (timer == saveTimer) onSaveTimeout(window);
}

// 閉じる, Esc and the close box: a recording is saved first, and when it
// cannot be, the user decides whether to close without it. The reader stops
// before the window goes, so that the port can be closed once the message
// loop has ended.
void onClose(HWND window) {
    if (recordingOn && !stopRecording(window, "") &&
        MessageBoxW(window, L"記録を保存できませんでした。保存しないで閉じますか？", L"Gestalyx",
                    MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    stopReader();
    KillTimer(window, statusTimer);
    KillTimer(window, saveTimer);
    DestroyWindow(window);
}

INT_PTR onCommand(HWND window, int id) {
    switch (id) {
    case IDC_RECORD:    onRecordCommand(window); return TRUE;
    case IDC_SAVE_POSE: onSaveCommand(window); return TRUE;
    case IDCANCEL:      onClose(window); return TRUE;
    }
    return FALSE;
}

void onMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = 480;
    info->ptMinTrackSize.y = 320;
}

}  // namespace

INT_PTR CALLBACK monitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:    onInit(window); return TRUE;
    case WM_SIZE:          layOut(window); return TRUE;
    case WM_GETMINMAXINFO: onMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return TRUE;
    case WM_ERASEBKGND:    SetWindowLongPtrW(window, DWLP_MSGRESULT, 1); return TRUE;
    case WM_PAINT:         paintWindow(window); return TRUE;
    case framesMessage:    onFrames(window); return TRUE;
    case WM_TIMER:         onTimer(window, wParam); return TRUE;
    case WM_COMMAND:       return onCommand(window, LOWORD(wParam));
    case WM_DESTROY:       PostQuitMessage(0); return TRUE;
    }
    return FALSE;
}

int runMonitorWindow() {
    listFittedNodes(fittedNodes);
    queuedCount = 0;
    droppedFrames = 0;
    framesPosted = false;
    stopReading = 0;
    HWND window = CreateDialogParamW(appInstance, L"DialogMonitor", nullptr, monitorWindowProc, 0);
    if (window == nullptr) {
        reportError("can not create monitor window");
        return 1;
    }
    InitializeCriticalSection(&frameLock);
    QueryPerformanceFrequency(&clockFrequency);
    QueryPerformanceCounter(&clockStart);
    readerThread = CreateThread(nullptr, 0, readFrames, nullptr, 0, nullptr);
    if (readerThread == nullptr) {
        reportError("can not start monitor reader");
        DeleteCriticalSection(&frameLock);
        DestroyWindow(window);
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
        if (IsWindow(monitorWindow) && IsDialogMessageW(monitorWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    stopReader();
    DeleteCriticalSection(&frameLock);
    freeRecording(recording);
    captureWindow = nullptr;
    return got == -1 ? 1 : 0;
}
